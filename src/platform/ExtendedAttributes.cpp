#include "platform/ExtendedAttributes.h"

#include <cerrno>
#include <cstring>
#include <QtEndian>
#include <sys/xattr.h>
#include <vector>

namespace vnt {

namespace {

constexpr char AccessListName[] = "system.posix_acl_access";

// The kernel's form of an access list: a version, then entries of a tag, the permissions
// (read 4, write 2, execute 1) and the user or group they name, all little-endian.
constexpr quint32 AccessListVersion = 2;
enum Tag : quint16 {
    OwnerEntry = 0x01,
    UserEntry = 0x02,
    OwningGroupEntry = 0x04,
    GroupEntry = 0x08,
    MaskEntry = 0x10,
    OtherEntry = 0x20,
};

bool Unsupported(int error) {
    return error == ENOTSUP || error == EOPNOTSUPP;
}

// An attribute's value; false with error set when it cannot be read (ENODATA: it went
// away meanwhile).
bool ReadAttribute(int fd, const char* name, std::vector<char>& value, int& error) {
    while (true) {
        const ssize_t size = ::fgetxattr(fd, name, nullptr, 0);
        if (size < 0) {
            error = errno;
            return false;
        }
        value.resize(static_cast<size_t>(size));
        const ssize_t got = ::fgetxattr(fd, name, value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<size_t>(got));
            return true;
        }
        if (errno != ERANGE) { // else it grew between the two calls
            error = errno;
            return false;
        }
    }
}

} // namespace

unsigned NarrowedToAccessList(unsigned mode, const QByteArray& accessList) {
    constexpr qsizetype Header = 4;
    constexpr qsizetype Entry = 8;
    const auto* bytes = reinterpret_cast<const uchar*>(accessList.constData());
    if (accessList.size() < Header || (accessList.size() - Header) % Entry != 0 ||
        qFromLittleEndian<quint32>(bytes) != AccessListVersion)
        return mode & ~077u;
    unsigned mask = 7;
    unsigned owningGroup = 0;
    unsigned other = 0;
    // The least that any named user, and any named group, is granted.
    unsigned users = 7;
    unsigned groups = 7;
    bool namedUser = false;
    bool namedGroup = false;
    for (qsizetype at = Header; at < accessList.size(); at += Entry) {
        const quint16 tag = qFromLittleEndian<quint16>(bytes + at);
        const unsigned permissions = qFromLittleEndian<quint16>(bytes + at + 2) & 7u;
        if (tag == MaskEntry) {
            mask = permissions;
        } else if (tag == OwningGroupEntry) {
            owningGroup = permissions;
        } else if (tag == OtherEntry) {
            other = permissions;
        } else if (tag == UserEntry) {
            users &= permissions;
            namedUser = true;
        } else if (tag == GroupEntry) {
            groups &= permissions;
            namedGroup = true;
        } else if (tag != OwnerEntry) {
            return mode & ~077u;
        }
    }
    // Without the list a named user falls in the group or in the others, and a member of a
    // named group in the others: neither may then get more than the list gave them. The
    // mask limits every entry but the owner's and the others'.
    const unsigned userLimit = namedUser ? users & mask : 7;
    const unsigned groupLimit = namedGroup ? groups & mask : 7;
    const unsigned group = owningGroup & mask & userLimit;
    const unsigned others = other & userLimit & groupLimit;
    return (mode & ~077u) | (group << 3) | others;
}

AttributeError CopyExtendedAttributes(int in, int out, unsigned& mode, bool& accessListDropped) {
    // Most files have no attribute at all: one call says so.
    char names[1024];
    std::vector<char> moreNames;
    ssize_t length = ::flistxattr(in, names, sizeof names);
    const char* list = names;
    while (length < 0 && errno == ERANGE) {
        length = ::flistxattr(in, nullptr, 0);
        if (length < 0)
            break;
        moreNames.resize(static_cast<size_t>(length));
        length = ::flistxattr(in, moreNames.data(), moreNames.size());
        list = moreNames.data();
    }
    if (length < 0)
        return {Unsupported(errno) ? 0 : errno, true};
    std::vector<char> value;
    for (const char* name = list; name < list + length; name += std::strlen(name) + 1) {
        const bool accessList = std::strcmp(name, AccessListName) == 0;
        if (!accessList && std::strncmp(name, "user.", 5) != 0)
            continue; // the system's own and the administrator's attributes are not the user's
        int error = 0;
        if (!ReadAttribute(in, name, value, error)) {
            if (error == ENODATA)
                continue;
            return {error, true};
        }
        if (::fsetxattr(out, name, value.data(), value.size(), 0) == 0)
            continue;
        if (!Unsupported(errno))
            return {errno, false};
        if (accessList) {
            accessListDropped = true;
            mode = NarrowedToAccessList(mode, QByteArray(value.data(), qsizetype(value.size())));
        }
    }
    return {};
}

} // namespace vnt
