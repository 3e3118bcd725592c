#pragma once
// The access list and the user's extended attributes of a file travel with its copy.

#include <QByteArray>

namespace vnt {

// Gives the open file out the user.* attributes and the access list (system.posix_acl_access)
// of the open file in; mode is the copy's permission bits, to be set after this (setting them
// first would be undone by the list). Says the error number of an attribute that could not be
// read, or that the target refused for another reason than holding none at all. Where the target's
// file system holds no access list, mode is narrowed to it (see NarrowedToAccessList) and
// accessListDropped is set.
struct AttributeError {
    int number = 0;        // 0: copied
    bool inSource = false; // reading the source's failed, not writing the copy's
};
AttributeError CopyExtendedAttributes(int in, int out, unsigned& mode, bool& accessListDropped);

// Permission bits that grant the file's group and others no more than the access list (the
// bytes the kernel keeps as system.posix_acl_access) grants anybody who, without the list,
// would fall in these classes. A list that cannot be read leaves group and others nothing.
unsigned NarrowedToAccessList(unsigned mode, const QByteArray& accessList);

} // namespace vnt
