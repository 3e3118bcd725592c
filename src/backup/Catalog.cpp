#include "backup/Catalog.h"

#include "platform/FileCopy.h"
#include "platform/FileErrors.h"
#include "platform/Names.h"
#include "platform/Process.h"
#include "platform/TargetDisk.h"
#include "report/ReportHost.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <pthread.h>
#include <QDateTime>
#include <QTemporaryDir>
#include <sched.h>
#include <sqlite3.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace vnt {

namespace {

// "VNTC": a database of somebody else is never taken for ours.
constexpr int ApplicationId = 0x564E5443;
// 2: the copies' permission bits (a column added to a catalogue of version 1 when a backup
// next writes to it).
constexpr int SchemaVersion = 2;
constexpr char DatabaseName[] = "catalog.sqlite";
// What SQLite keeps beside the database: a link planted under one of these names would
// lead its writes elsewhere.
constexpr const char* CompanionSuffixes[] = {"", "-wal", "-shm", "-journal"};

// No index by path: rows come in walk order, and an index kept in path order through a
// backup nearly doubled the bytes written (the index's pages written again at every batch).
// A lookup by path scans the copies, which is quick at the sizes a reader asks for; many
// lookups read the first copies once (FirstCopies).
constexpr char Schema[] =
    "CREATE TABLE runs(id INTEGER PRIMARY KEY, started INTEGER NOT NULL, finished INTEGER,"
    " operation TEXT NOT NULL, setup TEXT NOT NULL, copied INTEGER, errors INTEGER,"
    " exit_status INTEGER);"
    "CREATE TABLE copies(id INTEGER PRIMARY KEY, run INTEGER NOT NULL REFERENCES runs(id),"
    " path BLOB NOT NULL, size INTEGER NOT NULL, mtime INTEGER NOT NULL,"
    " copied INTEGER NOT NULL, kept BLOB, mode INTEGER);";

QString CatalogFolderPath(const QString& targetFolder) {
    return targetFolder + (targetFolder.endsWith(u'/') ? QString() : QStringLiteral("/")) +
           QLatin1String(CatalogFolderName);
}

QString CatalogPath(const QString& targetFolder) {
    return CatalogFolderPath(targetFolder) + u'/' + QLatin1String(DatabaseName);
}

// When the statement now running on this thread began: the bound on its work counts from
// there.
thread_local std::chrono::steady_clock::time_point statementStarted =
    std::chrono::steady_clock::now();

void StatementBegins() {
    statementStarted = std::chrono::steady_clock::now();
}

// Nothing this program asks of its catalogue takes long; a statement that does is stopped,
// and so is one still at work when the run is asked to stop (but not the few milliseconds
// that record its end).
constexpr std::chrono::minutes LongestStatement{5};
constexpr std::chrono::milliseconds StatementAfterStop{500};

int StatementOverrun(void*) {
    const auto spent = std::chrono::steady_clock::now() - statementStarted;
    return spent > LongestStatement || (InterruptionRequested() && spent > StatementAfterStop) ? 1
                                                                                               : 0;
}

// The catalogue is read from a disk anybody may have written to: nothing in it runs (no
// trigger, no view, no function of its schema), no statement works without bound, and no
// text or blob in it is taken beyond what a path can be.
void Guard(sqlite3* db) {
    for (const auto& [option, value] :
         {std::pair{SQLITE_DBCONFIG_DEFENSIVE, 1}, std::pair{SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
          std::pair{SQLITE_DBCONFIG_ENABLE_TRIGGER, 0}, std::pair{SQLITE_DBCONFIG_ENABLE_VIEW, 0}})
        sqlite3_db_config(db, option, value, nullptr);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, 1 << 20);
    sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, 1 << 16);
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_progress_handler(db, 10000, StatementOverrun, nullptr);
    sqlite3_exec(db, "PRAGMA cell_size_check=ON", nullptr, nullptr, nullptr);
}

QString SqliteError(sqlite3* db) {
    return QString::fromUtf8(db != nullptr ? sqlite3_errmsg(db) : "out of memory");
}

// A statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        StatementBegins();
        sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    explicit operator bool() const { return stmt != nullptr; }
    sqlite3_stmt* get() const { return stmt; }
    bool Row() { return stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW; }
    QByteArray Bytes(int column) const {
        const void* data = sqlite3_column_blob(stmt, column);
        return QByteArray(static_cast<const char*>(data), sqlite3_column_bytes(stmt, column));
    }
    qint64 Int(int column) const { return sqlite3_column_int64(stmt, column); }
    bool Null(int column) const { return sqlite3_column_type(stmt, column) == SQLITE_NULL; }

private:
    sqlite3_stmt* stmt = nullptr;
};

// The catalogue's folder below the target held open, never through a link; the database
// and its companions, where they exist, must be plain files in it.
// A file of the catalogue's that has another name as well (a hard link planted to a file
// elsewhere, or a snapshot of the target made of links) would take the writes meant for the
// catalogue there. A run that writes gives each such name a copy of its own first; a reader
// refuses a companion so linked, since SQLite may write to it.
bool CopyLinkedFilesAside(const FolderHandle& folder, QString& why) {
    for (const char* suffix : CompanionSuffixes) {
        const QByteArray name = QByteArray(DatabaseName) + suffix;
        struct stat st {};
        if (::fstatat(folder.Descriptor(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            st.st_nlink <= 1)
            continue;
        // Copied beside it, then renamed over this name: the other name keeps the file.
        const QByteArray apart = name + ".apart";
        const CopyOutcome copy = CopyUnlinkedFile(folder, name, folder, apart, {}, true);
        if (!copy.copied || ::renameat(folder.Descriptor(), apart.constData(), folder.Descriptor(),
                                       name.constData()) != 0) {
            why = QString::fromLatin1(name) +
                  QStringLiteral(" has another name as well and could not be copied apart: ") +
                  (copy.copied ? FileErrorFromErrno(errno) : copy.error).description;
            return false;
        }
    }
    return true;
}

std::unique_ptr<FolderHandle> OpenCatalogFolder(const QString& targetFolder, bool create,
                                                QString& why, bool& missing) {
    const FolderHandle target(targetFolder);
    if (!target.IsOpen()) {
        why = QStringLiteral("the target folder cannot be opened");
        return nullptr;
    }
    const QString folderPath = CatalogFolderPath(targetFolder);
    if (create && ::mkdirat(target.Descriptor(), CatalogFolderName, 0700) != 0 && errno != EEXIST) {
        why = folderPath + QStringLiteral(" cannot be made: ") +
              FileErrorFromErrno(errno).description;
        return nullptr;
    }
    const int fd = ::openat(target.Descriptor(), CatalogFolderName,
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat st {};
        missing = error == ENOENT;
        if (::fstatat(target.Descriptor(), CatalogFolderName, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(st.st_mode))
            why = folderPath + QStringLiteral(" is a link, not the program's own folder");
        else if (error == ENOTDIR)
            why = folderPath + QStringLiteral(" is not a folder");
        else
            why = folderPath + QStringLiteral(": ") + FileErrorFromErrno(error).description;
        return nullptr;
    }
    std::unique_ptr<FolderHandle> folder = FolderHandle::Adopt(fd);
    for (const char* suffix : CompanionSuffixes) {
        const QByteArray name = QByteArray(DatabaseName) + suffix;
        struct stat st {};
        if (::fstatat(fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!S_ISREG(st.st_mode)) {
            why = folderPath + u'/' + QString::fromLatin1(name) +
                  QStringLiteral(" is not a plain file");
            return nullptr;
        }
        if (!create && *suffix != '\0' && st.st_nlink > 1) {
            why = folderPath + u'/' + QString::fromLatin1(name) +
                  QStringLiteral(" has another name as well (a hard link)");
            return nullptr;
        }
    }
    return folder;
}

// Opens the database by the real path of the folder held open (SQLite refuses a path that
// holds a link), then makes sure that path led into that very folder.
sqlite3* OpenDatabase(const FolderHandle& folder, bool write, QString& why) {
    const QString real = RealFolderOf(folder);
    if (real.isEmpty()) {
        why = QStringLiteral("its folder cannot be found");
        return nullptr;
    }
    sqlite3* db = nullptr;
    const int flags = (write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY) |
                      SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(EncodeName(real + QLatin1String(DatabaseName)).constData(), &db, flags,
                        nullptr) != SQLITE_OK) {
        why = SqliteError(db);
        sqlite3_close(db);
        return nullptr;
    }
    struct stat opened {};
    struct stat held {};
    const char* name = sqlite3_db_filename(db, "main");
    if (name == nullptr || ::lstat(name, &opened) != 0 ||
        ::fstatat(folder.Descriptor(), DatabaseName, &held, AT_SYMLINK_NOFOLLOW) != 0 ||
        opened.st_dev != held.st_dev || opened.st_ino != held.st_ino) {
        why = QStringLiteral("its folder was swapped while it was opened");
        sqlite3_close(db);
        return nullptr;
    }
    Guard(db);
    sqlite3_busy_timeout(db, 5000);
    return db;
}

// A catalogue cut short holds fewer pages than its header counts. Read from the header, since
// SQLite's own look at every page costs a backup that changed nothing a measurable part of
// its time; a log left by a run that died has the newest pages, so then SQLite looks.
bool HasLog(const FolderHandle& folder) {
    struct stat log {};
    return ::fstatat(folder.Descriptor(), "catalog.sqlite-wal", &log, AT_SYMLINK_NOFOLLOW) == 0 &&
           log.st_size > 0;
}

// The log's index is a file mapped by every process that reads the catalogue; some disk
// drivers (FUSE ones for FAT) cannot map a file so, and a catalogue in WAL mode there cannot
// even be read. Tried on a file of our own in the folder.
bool MapsSharedFiles(const FolderHandle& folder) {
    const QByteArray name = ".~vantoro-" +
                            QByteArray::number(static_cast<quint32>(::getpid()), 16)
                                .rightJustified(8, '0')
                                .right(8) +
                            ".part";
    const UniqueFd fd(::openat(folder.Descriptor(), name.constData(),
                               O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd)
        return true; // SQLite will say what is wrong
    bool maps = false;
    if (::ftruncate(fd.get(), 4096) == 0) {
        void* page = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
        if (page != MAP_FAILED) {
            maps = true;
            ::munmap(page, 4096);
        }
    }
    ::unlinkat(folder.Descriptor(), name.constData(), 0);
    return maps;
}

bool CutShort(const FolderHandle& folder) {
    const int fd = ::openat(folder.Descriptor(), DatabaseName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char header[100] = {};
    struct stat st {};
    const bool read =
        ::pread(fd, header, sizeof header, 0) == sizeof header && ::fstat(fd, &st) == 0;
    ::close(fd);
    if (!read)
        return false;
    const qint64 pageSize =
        header[16] == 0 && header[17] == 1 ? 65536 : header[16] << 8 | header[17];
    const qint64 pages = qint64{header[28]} << 24 | header[29] << 16 | header[30] << 8 | header[31];
    return st.st_size < pageSize * pages;
}

qint64 SchemaOf(sqlite3* db) {
    Statement version(db, "PRAGMA user_version");
    return version.Row() ? version.Int(0) : 0;
}

// The rows of sqlite_master, one line each, in a fixed order.
QByteArray ShapeOf(sqlite3* db) {
    QByteArray shape;
    Statement rows(db, "SELECT type, name, tbl_name, coalesce(sql, '') FROM sqlite_master"
                       " ORDER BY type, name");
    while (rows.Row())
        for (int column = 0; column < 4; ++column)
            shape += rows.Bytes(column) + (column == 3 ? '\n' : '|');
    return shape;
}

// The shapes this program writes for schema version: made once, from the same statements in
// a database in memory, so that they are spelled as SQLite keeps them. Version 2 is also a
// version 1 catalogue with the column added.
QList<QByteArray> ShapesWritten(qint64 version) {
    const auto made = [](const QByteArray& sql) {
        QByteArray shape;
        sqlite3* memory = nullptr;
        if (sqlite3_open(":memory:", &memory) == SQLITE_OK &&
            sqlite3_exec(memory, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
            shape = ShapeOf(memory);
        sqlite3_close(memory);
        return shape;
    };
    static const QByteArray first = QByteArray(Schema).replace(", mode INTEGER", "");
    static const QList<QByteArray> version1 = {made(first)};
    static const QList<QByteArray> version2 = {
        made(Schema), made(first + "ALTER TABLE copies ADD COLUMN mode INTEGER;")};
    return version == 1 ? version1 : version == 2 ? version2 : QList<QByteArray>();
}

// Whether the database is a catalogue this program can use; empty is a new one. thorough:
// every page is looked at. Only the tables this program makes are taken: anything else in
// the schema (a trigger, a view, an index, another column) is somebody else's.
QString CheckCatalog(sqlite3* db, bool& empty, bool thorough) {
    empty = false;
    Statement id(db, "PRAGMA application_id");
    if (!id.Row())
        return SqliteError(db);
    const qint64 application = id.Int(0);
    Statement version(db, "PRAGMA user_version");
    if (!version.Row())
        return SqliteError(db);
    const qint64 schema = version.Int(0);
    Statement tables(db, "SELECT count(*) FROM sqlite_master");
    if (!tables.Row())
        return SqliteError(db);
    if (application == 0 && schema == 0 && tables.Int(0) == 0) {
        empty = true;
        return {};
    }
    if (application != ApplicationId)
        return QStringLiteral("it is not a catalogue of this program");
    if (schema > SchemaVersion)
        return QStringLiteral("it was written by a newer version of the program (version ") +
               QString::number(schema) + u')';
    if (schema < 1)
        return QStringLiteral("it has no version");
    if (!ShapesWritten(schema).contains(ShapeOf(db)))
        return QStringLiteral("its tables are not the ones this program makes");
    if (!thorough)
        return {};
    Statement check(db, "PRAGMA quick_check(1)");
    if (!check.Row())
        return SqliteError(db);
    const QByteArray result = check.Bytes(0);
    if (result != "ok")
        return QStringLiteral("it is damaged (") + QString::fromUtf8(result) + u')';
    return {};
}

QString UnusableText(const QString& targetFolder, const QString& why) {
    return QStringLiteral("the catalogue ") + CatalogPath(targetFolder) +
           QStringLiteral(" is unusable: ") + why;
}

} // namespace

bool IsOwnTargetFolderName(const QString& name) {
    return name == QLatin1String(CatalogFolderName) || name == QLatin1String(KeptCopiesFolderName);
}

QString OwnFolderNameText() {
    return QStringLiteral("its name is that of the program's own folder in the target, so it is "
                          "not backed up");
}

bool IsSafeRelativePath(const QByteArray& path) {
    if (path.isEmpty() || path.startsWith('/') || path.contains('\0'))
        return false;
    for (const QByteArray& part : path.split('/')) {
        if (part.isEmpty() || part == "." || part == "..")
            return false;
    }
    return true;
}

// The writer.

CatalogWriter::CatalogWriter() = default;

CatalogWriter::~CatalogWriter() {
    // Gone without its end: the batches handed over are written, here rather than by the
    // idle thread, which may get no time; the rows of the batch not full yet never are.
    pending.clear();
    if (writer.joinable())
        HandOver(true);
    StopWriting();
    Close();
}

void CatalogWriter::Close() {
    sqlite3_finalize(insertCopy);
    insertCopy = nullptr;
    sqlite3_close(db);
    db = nullptr;
    folder.reset();
}

bool CatalogWriter::Fail(const QString& why) {
    if (problem.isEmpty())
        problem = why;
    if (db != nullptr && !sqlite3_get_autocommit(db))
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    Close();
    writing = false;
    return false;
}

bool CatalogWriter::Exec(const char* sql) {
    StatementBegins();
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        return Fail(SqliteError(db));
    return true;
}

bool CatalogWriter::Open(const QString& targetFolder) {
    QString why;
    bool missing = false;
    folder = OpenCatalogFolder(targetFolder, true, why, missing);
    if (!folder)
        return Fail(why);
    if (!CopyLinkedFilesAside(*folder, why))
        return Fail(UnusableText(targetFolder, why) + QStringLiteral("; it was left alone"));
    db = OpenDatabase(*folder, true, why);
    if (db == nullptr)
        return Fail(UnusableText(targetFolder, why));
    bool empty = false;
    const bool log = HasLog(*folder);
    QString unusable = CheckCatalog(db, empty, log);
    if (unusable.isEmpty() && !log && !empty && CutShort(*folder))
        unusable = QStringLiteral("it is cut short");
    if (!unusable.isEmpty())
        return Fail(UnusableText(targetFolder, unusable) + QStringLiteral("; it was left alone"));
    // WAL: a run that dies leaves the last committed batch; the copies themselves are flushed
    // by the backup, so the history need not wait for the disk at every batch. The log is
    // folded into the catalogue once, at the end: a fold makes the disk write at once, and
    // during a backup that costs the copies.
    // Rows are only appended: a small page cache holds the pages they go to.
    if (!KeepsRewrites(folder->Descriptor()) && !TakeIntoMemory())
        return false;
    // Without shared maps, a rollback journal: each batch then waits for the disk.
    const char* journal = inMemory                          ? "PRAGMA journal_mode=MEMORY"
                          : log || MapsSharedFiles(*folder) ? "PRAGMA journal_mode=WAL"
                                                            : "PRAGMA journal_mode=TRUNCATE";
    if (!Exec(journal) || !Exec("PRAGMA synchronous=NORMAL") ||
        !Exec("PRAGMA wal_autocheckpoint=0") || !Exec("PRAGMA cache_size=-256"))
        return false;
    if (empty) {
        const QByteArray create = QByteArray("BEGIN IMMEDIATE;") + Schema +
                                  "PRAGMA application_id=" + QByteArray::number(ApplicationId) +
                                  ";PRAGMA user_version=" + QByteArray::number(SchemaVersion) +
                                  ";COMMIT";
        if (!Exec(create.constData()))
            return false;
    } else if (SchemaOf(db) < 2 &&
               !Exec("BEGIN IMMEDIATE; ALTER TABLE copies ADD COLUMN mode INTEGER;"
                     " PRAGMA user_version=2; COMMIT")) {
        return false;
    }
    if (sqlite3_prepare_v2(db,
                           "INSERT INTO copies(run, path, size, mtime, copied, kept, mode)"
                           " VALUES(?, ?, ?, ?, ?, ?, ?)",
                           -1, &insertCopy, nullptr) != SQLITE_OK)
        return Fail(SqliteError(db));
    lastHandOver = std::chrono::steady_clock::now();
    writing = true;
    try {
        writer = std::thread([this] { WriteBatches(); });
    } catch (const std::system_error&) {
        // No thread to be had: the batches are written on the walk's thread.
    }
    return true;
}

void CatalogWriter::BeginRun(qint64 startedMs, const QString& operation, const QString& setup) {
    if (db == nullptr)
        return;
    Statement insert(db, "INSERT INTO runs(started, operation, setup) VALUES(?, ?, ?)");
    if (!insert) {
        Fail(SqliteError(db));
        return;
    }
    const QByteArray op = operation.toUtf8();
    const QByteArray text = EncodeName(setup);
    sqlite3_bind_int64(insert.get(), 1, startedMs);
    sqlite3_bind_text(insert.get(), 2, op.constData(), static_cast<int>(op.size()), nullptr);
    sqlite3_bind_text(insert.get(), 3, text.constData(), static_cast<int>(text.size()), nullptr);
    if (sqlite3_step(insert.get()) != SQLITE_DONE) {
        Fail(SqliteError(db));
        return;
    }
    runId = sqlite3_last_insert_rowid(db);
}

void CatalogWriter::AddCopy(const QByteArray& path, qint64 size, qint64 mtimeSeconds,
                            const QByteArray& keptAs, int mode) {
    if (!writing || runId == 0)
        return;
    pending.push_back(CatalogCopy{path, size, mtimeSeconds, QDateTime::currentMSecsSinceEpoch(),
                                  runId, keptAs, mode});
    if (pending.size() >= static_cast<size_t>(BatchRows) ||
        std::chrono::steady_clock::now() - lastHandOver >= BatchTime)
        HandOver(false);
}

void CatalogWriter::HandOver(bool wait) {
    lastHandOver = std::chrono::steady_clock::now();
    std::deque<std::vector<CatalogCopy>> here;
    if (writer.joinable()) {
        std::unique_lock<std::mutex> lock(batchesMutex);
        if (writing && !pending.empty())
            batches.push_back(std::move(pending));
        if (!wait && batches.size() <= MaxBatchesWaiting) {
            batchesChanged.notify_all();
            pending.clear();
            return;
        }
        // The rest is written here, at the walk's own priority: the writing thread may get
        // no time while the copies or other programs keep the cores busy.
        batchesChanged.wait(lock, [this] { return !writingBatch; });
        here.swap(batches);
    } else if (writing && !pending.empty()) {
        here.push_back(std::move(pending)); // no thread to be had
    }
    pending.clear();
    for (const std::vector<CatalogCopy>& batch : here) {
        if (db != nullptr)
            Commit(batch);
    }
}

void CatalogWriter::WriteBatches() {
    // The history is written with the time the copies leave over: a backup keeps the cores
    // busy, and the rows can wait (what is left at the end, or too much waiting, HandOver
    // writes on the walk's thread).
    const sched_param idle{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
    std::unique_lock<std::mutex> lock(batchesMutex);
    while (true) {
        batchesChanged.wait(lock, [this] { return stopping || !batches.empty(); });
        if (batches.empty())
            return;
        const std::vector<CatalogCopy> batch = std::move(batches.front());
        batches.pop_front();
        writingBatch = true;
        lock.unlock();
        if (db != nullptr)
            Commit(batch);
        lock.lock();
        writingBatch = false;
        batchesChanged.notify_all();
    }
}

void CatalogWriter::StopWriting() {
    if (!writer.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(batchesMutex);
        stopping = true;
    }
    batchesChanged.notify_all();
    writer.join();
}

bool CatalogWriter::Commit(const std::vector<CatalogCopy>& rows, const CatalogRun* end) {
    if (db == nullptr)
        return false;
    if (!Exec("BEGIN IMMEDIATE"))
        return false;
    for (const CatalogCopy& copy : rows) {
        sqlite3_bind_int64(insertCopy, 1, copy.run);
        sqlite3_bind_blob(insertCopy, 2, copy.path.constData(), static_cast<int>(copy.path.size()),
                          nullptr);
        sqlite3_bind_int64(insertCopy, 3, copy.size);
        sqlite3_bind_int64(insertCopy, 4, copy.mtimeSeconds);
        sqlite3_bind_int64(insertCopy, 5, copy.copiedMs);
        if (copy.keptAs.isEmpty())
            sqlite3_bind_null(insertCopy, 6);
        else
            sqlite3_bind_blob(insertCopy, 6, copy.keptAs.constData(),
                              static_cast<int>(copy.keptAs.size()), nullptr);
        if (copy.mode < 0)
            sqlite3_bind_null(insertCopy, 7);
        else
            sqlite3_bind_int64(insertCopy, 7, copy.mode);
        const int stepped = sqlite3_step(insertCopy);
        sqlite3_reset(insertCopy);
        if (stepped != SQLITE_DONE)
            return Fail(SqliteError(db));
    }
    if (end != nullptr) {
        Statement update(db, "UPDATE runs SET finished = ?, copied = ?, errors = ?,"
                             " exit_status = ? WHERE id = ?");
        if (!update)
            return Fail(SqliteError(db));
        sqlite3_bind_int64(update.get(), 1, end->finishedMs);
        sqlite3_bind_int64(update.get(), 2, end->filesCopied);
        sqlite3_bind_int64(update.get(), 3, end->errors);
        sqlite3_bind_int64(update.get(), 4, end->exitStatus);
        sqlite3_bind_int64(update.get(), 5, runId);
        if (sqlite3_step(update.get()) != SQLITE_DONE)
            return Fail(SqliteError(db));
    }
    return Exec("COMMIT");
}

void CatalogWriter::Settle() {
    // Folded without syncing, the log stays whole until it is written again, which is after
    // the flush: a power cut in between finds the log and folds it again.
    HandOver(true);
    if (db != nullptr)
        sqlite3_exec(db,
                     "PRAGMA synchronous=OFF; PRAGMA wal_checkpoint(PASSIVE);"
                     " PRAGMA synchronous=NORMAL",
                     nullptr, nullptr, nullptr);
}

void CatalogWriter::EndRun(qint64 finishedMs, qint64 filesCopied, qint64 errors, int exitStatus) {
    HandOver(true);
    StopWriting();
    if (db == nullptr || runId == 0)
        return;
    CatalogRun end;
    end.finishedMs = finishedMs;
    end.filesCopied = filesCopied;
    end.errors = errors;
    end.exitStatus = exitStatus;
    // Between runs the catalogue is one file: a reader, which opens it read-only, then leaves
    // no companion files behind. A reader at work now keeps it as it is, which is no harm.
    if (Commit({}, &end)) {
        if (inMemory && !WriteOut())
            return;
        sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
        Close();
    }
}

bool CatalogWriter::TakeIntoMemory() {
    sqlite3* memory = nullptr;
    if (sqlite3_open(":memory:", &memory) != SQLITE_OK) {
        sqlite3_close(memory);
        return Fail(QStringLiteral("out of memory"));
    }
    sqlite3_backup* copy = sqlite3_backup_init(memory, "main", db, "main");
    const bool read = copy != nullptr && sqlite3_backup_step(copy, -1) == SQLITE_DONE;
    sqlite3_backup_finish(copy);
    if (!read) {
        const QString why = SqliteError(memory);
        sqlite3_close(memory);
        return Fail(why);
    }
    sqlite3_close(db);
    db = memory;
    Guard(db);
    inMemory = true;
    return true;
}

// The whole catalogue into a file of this computer's, then copied onto the disk as any
// backup copy is: from its start, under a temporary name, renamed over the old one.
bool CatalogWriter::WriteOut() {
    QTemporaryDir local;
    const QString path = local.path() + QStringLiteral("/") + QLatin1String(DatabaseName);
    sqlite3* file = nullptr;
    bool written = local.isValid() &&
                   sqlite3_open(EncodeName(path).constData(), &file) == SQLITE_OK;
    if (written) {
        sqlite3_backup* copy = sqlite3_backup_init(file, "main", db, "main");
        written = copy != nullptr && sqlite3_backup_step(copy, -1) == SQLITE_DONE;
        sqlite3_backup_finish(copy);
    }
    sqlite3_close(file);
    if (!written)
        return Fail(QStringLiteral("it could not be written out"));
    const CopyOutcome outcome =
        CopySingleFile(path, *folder, QByteArray(DatabaseName), {}, true);
    return outcome.copied || Fail(outcome.error.description);
}

// The reader.

CatalogReader::CatalogReader() = default;

CatalogReader::~CatalogReader() {
    sqlite3_close(db);
}

bool CatalogReader::Fail(const QString& why) {
    if (problem.isEmpty())
        problem = why;
    sqlite3_close(db);
    db = nullptr;
    return false;
}

bool CatalogReader::Open(const QString& targetFolder) {
    QString why;
    const std::unique_ptr<FolderHandle> folder =
        OpenCatalogFolder(targetFolder, false, why, missing);
    if (folder && ::faccessat(folder->Descriptor(), DatabaseName, F_OK, AT_SYMLINK_NOFOLLOW) != 0)
        missing = true;
    if (missing)
        return Fail(QStringLiteral("there is no catalogue in ") + targetFolder +
                    QStringLiteral(" (no backup has been recorded there)"));
    if (!folder)
        return Fail(UnusableText(targetFolder, why));
    db = OpenDatabase(*folder, false, why);
    if (db == nullptr)
        return Fail(UnusableText(targetFolder, why));
    bool empty = false;
    const QString unusable = CheckCatalog(db, empty, true);
    if (!unusable.isEmpty() || empty)
        return Fail(UnusableText(targetFolder, empty ? QStringLiteral("it is empty") : unusable));
    return true;
}

std::vector<CatalogRun> CatalogReader::ReadRuns(const char* sql) {
    std::vector<CatalogRun> runs;
    if (db == nullptr)
        return runs;
    Statement select(db, sql);
    while (select.Row()) {
        CatalogRun run;
        run.id = select.Int(0);
        run.startedMs = select.Int(1);
        run.finishedMs = select.Null(2) ? 0 : select.Int(2);
        run.operation = QString::fromUtf8(select.Bytes(3));
        run.setup = DecodeName(select.Bytes(4));
        run.filesCopied = select.Int(5);
        run.errors = select.Int(6);
        run.exitStatus = select.Null(7) ? -1 : static_cast<int>(select.Int(7));
        runs.push_back(std::move(run));
    }
    return runs;
}

std::vector<CatalogRun> CatalogReader::Runs() {
    return ReadRuns("SELECT id, started, finished, operation, setup, copied, errors, exit_status"
                    " FROM runs ORDER BY started DESC, id DESC");
}

std::optional<CatalogRun> CatalogReader::LastRun() {
    std::vector<CatalogRun> runs =
        ReadRuns("SELECT id, started, finished, operation, setup, copied, errors, exit_status"
                 " FROM runs ORDER BY started DESC, id DESC LIMIT 1");
    if (runs.empty())
        return std::nullopt;
    return runs.front();
}

std::vector<CatalogCopy> CatalogReader::CopiesOf(const QByteArray& path) {
    std::vector<CatalogCopy> copies;
    if (db == nullptr)
        return copies;
    Statement select(db, "SELECT path, size, mtime, copied, run, kept FROM copies"
                         " WHERE path = ? ORDER BY copied, id");
    sqlite3_bind_blob(select.get(), 1, path.constData(), static_cast<int>(path.size()), nullptr);
    while (select.Row()) {
        CatalogCopy copy{select.Bytes(0), select.Int(1), select.Int(2),
                         select.Int(3),   select.Int(4), select.Bytes(5)};
        if (!IsSafeRelativePath(copy.path) ||
            (!copy.keptAs.isEmpty() && !IsSafeRelativePath(copy.keptAs))) {
            ++unsafeRows;
            continue;
        }
        copies.push_back(std::move(copy));
    }
    return copies;
}

QHash<QByteArray, qint64> CatalogReader::FirstCopies() {
    QHash<QByteArray, qint64> first;
    if (db == nullptr)
        return first;
    Statement select(db, "SELECT path, min(copied) FROM copies GROUP BY path");
    while (select.Row()) {
        const QByteArray path = select.Bytes(0);
        if (IsSafeRelativePath(path))
            first.insert(path, select.Int(1));
        else
            ++unsafeRows;
    }
    return first;
}

namespace {
// A path is one of paths, or below one of them; every path when none are given.
bool AmongPaths(const QByteArray& path, const QList<QByteArray>& paths) {
    if (paths.isEmpty())
        return true;
    return std::any_of(paths.cbegin(), paths.cend(), [&path](const QByteArray& asked) {
        const QByteArray folder = asked.endsWith('/') ? asked : asked + '/';
        return path == asked || path.startsWith(folder);
    });
}
} // namespace

QHash<QByteArray, int> CatalogReader::LatestModes(const QList<QByteArray>& paths) {
    QHash<QByteArray, int> modes;
    if (db == nullptr || SchemaOf(db) < 2)
        return modes;
    Statement select(db, "SELECT path, mode FROM copies WHERE mode IS NOT NULL ORDER BY id");
    while (select.Row()) {
        const QByteArray path = select.Bytes(0);
        if (!IsSafeRelativePath(path))
            ++unsafeRows;
        else if (AmongPaths(path, paths))
            modes.insert(path, static_cast<int>(select.Int(1) & 07777));
    }
    return modes;
}

QHash<QByteArray, int> CatalogReader::KeptModes(const QList<QByteArray>& paths) {
    QHash<QByteArray, int> kept;
    if (db == nullptr || SchemaOf(db) < 2)
        return kept;
    // A row that kept a copy kept the one an earlier row made: that row's mode is its mode.
    QHash<QByteArray, int> last;
    Statement select(db, "SELECT path, mode, kept FROM copies ORDER BY id");
    while (select.Row()) {
        const QByteArray path = select.Bytes(0);
        const QByteArray keptAs = select.Bytes(2);
        if (!IsSafeRelativePath(path) || (!keptAs.isEmpty() && !IsSafeRelativePath(keptAs))) {
            ++unsafeRows;
            continue;
        }
        if (!AmongPaths(path, paths))
            continue;
        if (!keptAs.isEmpty())
            if (const auto before = last.constFind(path); before != last.cend())
                kept.insert(keptAs, *before);
        if (sqlite3_column_type(select.get(), 1) == SQLITE_NULL)
            last.remove(path);
        else
            last.insert(path, static_cast<int>(select.Int(1) & 07777));
    }
    return kept;
}

QString CatalogReader::LastKeptFolderUpTo(qint64 run) {
    if (db == nullptr)
        return {};
    Statement select(db, "SELECT kept FROM copies WHERE run <= ? AND kept IS NOT NULL"
                         " ORDER BY run DESC, id DESC LIMIT 1");
    sqlite3_bind_int64(select.get(), 1, run);
    if (!select.Row())
        return {};
    // KEPTFOLDER/STAMP/path: a row that is not of that shape says nothing.
    const QByteArray kept = select.Bytes(0);
    const QList<QByteArray> parts = kept.split('/');
    if (!IsSafeRelativePath(kept) || parts.size() < 3 || parts[0] != KeptCopiesFolderName) {
        ++unsafeRows;
        return {};
    }
    return QString::fromLatin1(parts[1]);
}

// The driver's run row.

RunHistory::RunHistory(const Setup& setup, const OperationState& state, const QString& operation) {
    const Operation op = state.intOperation;
    const bool writes = op == Operation::BackupAllFiles || op == Operation::BackupModifiedFiles ||
                        (op == Operation::VerifyBackup && state.blnRepair);
    if (!writes)
        return;
    writer = std::make_unique<CatalogWriter>();
    if (writer->Open(setup.targetFolder))
        writer->BeginRun(QDateTime::currentMSecsSinceEpoch(),
                         op == Operation::VerifyBackup ? operation + QStringLiteral(" --repair")
                                                       : operation,
                         state.strSetupFileName.isEmpty()
                             ? setup.sourceFolder + QStringLiteral(" -> ") + setup.targetFolder
                             : state.strSetupFileName);
}

RunHistory::~RunHistory() = default;

void RunHistory::End(const OperationState& state, ReportHost& report) {
    if (!writer)
        return;
    writer->EndRun(QDateTime::currentMSecsSinceEpoch(), state.lngTotalNumFilesCopied,
                   state.lngTotalNumCopyErrors, RunExitStatus(state));
    if (!writer->Problem().isEmpty())
        report.Notice(QStringLiteral("The backup's history could not be written: ") +
                      writer->Problem());
    writer.reset();
}

QString RunResultText(const CatalogRun& run) {
    // The console's statuses; the catalogue is untrusted, so any other number is a run that
    // did not say how it ended.
    if (run.finishedMs > 0) {
        switch (run.exitStatus) {
        case 0:
            return QStringLiteral("finished");
        case 1:
            return QStringLiteral("finished with errors");
        case 2:
            return QStringLiteral("nothing done");
        case 3:
            return QStringLiteral("disk not connected");
        case 130:
            return QStringLiteral("interrupted");
        default:
            break;
        }
    }
    return QStringLiteral("not finished");
}

} // namespace vnt
