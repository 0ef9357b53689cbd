// Tables of the operator's Access database, read with mdbtools' libmdb.
// Texts arrive as UTF-8; dates as "YYYY-MM-DD HH:MM:SS"; yes/no fields as
// 1 or 0; binary fields as their bytes.
//
// libmdb trusts the file: a damaged catalog can make it crash or allocate
// until GLib aborts the process. So it never runs in the caller's process:
// a forked child, limited in memory and processor time, reads the file and
// writes the table down a pipe as length-counted frames; the caller reads
// them with a time limit and turns the child's death into an error. The
// child runs plain C++ and libmdb only, never Qt, and ends with _exit; if
// it ever stalls on a lock another thread of the caller held at the fork,
// the time limit ends it like any other silent reader.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

// glib first: libmdb's header includes it inside an extern "C" block.
#include <glib.h>

#include <mdbtools.h>

#include "platform/numbers.h"
#include "sourcetable.h"

namespace lumaret {

namespace {

struct MdbCloser {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
using MdbPtr = std::unique_ptr<MdbHandle, MdbCloser>;

MdbPtr openMdb(const std::string& path, SourceError& error)
{
    MdbPtr mdb(mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!mdb) {
        error = {kErrFileNotFound, "Could not open the Access database \"" + toUtf8(path) + "\"."};
        return nullptr;
    }
    if (!mdb_read_catalog(mdb.get(), MDB_TABLE)) {
        error = {kErrGeneral, "Could not read the catalog of \"" + toUtf8(path) + "\"."};
        return nullptr;
    }
    return mdb;
}

std::vector<MdbCatalogEntry*> userTables(MdbHandle* mdb)
{
    std::vector<MdbCatalogEntry*> tables;
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && !mdb_is_system_table(entry)) {
            tables.push_back(entry);
        }
    }
    return tables;
}

ColumnKind kindOf(int colType)
{
    switch (colType) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT: return ColumnKind::Integer;
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_MONEY:
    case MDB_NUMERIC: return ColumnKind::Double;
    case MDB_BINARY:
    case MDB_OLE: return ColumnKind::Blob;
    default: return ColumnKind::Text;
    }
}

// Frames on the pipe: a 32-bit length, a type byte, then the payload.
enum FrameType : char {
    kFrameColumns = 'C',  // count, then per column: kind byte, name
    kFrameRow = 'R',  // count, then per value: present byte, bytes
    kFrameNames = 'N',  // count, then the table names
    kFrameError = 'E',  // code, text
    kFrameDone = 'Z',
};

constexpr std::size_t kMaxFrame = 256u << 20;

// ----- the child's side ------------------------------------------------------

class FrameWriter {
public:
    explicit FrameWriter(int fd) : m_fd(fd) {}
    void begin(FrameType type)
    {
        m_start = m_out.size();
        m_out.append(4, '\0');
        m_out += static_cast<char>(type);
    }
    void u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) {
            m_out += static_cast<char>((v >> (8 * i)) & 0xFF);
        }
    }
    void bytes(std::string_view b)
    {
        u32(static_cast<std::uint32_t>(b.size()));
        m_out.append(b);
    }
    void byte(char c) { m_out += c; }
    bool end()
    {
        const std::size_t length = m_out.size() - m_start - 4;
        for (int i = 0; i < 4; ++i) {
            m_out[m_start + static_cast<std::size_t>(i)] = static_cast<char>((length >> (8 * i)) & 0xFF);
        }
        return m_out.size() < (64u << 10) || flush();
    }
    bool flush()
    {
        std::size_t done = 0;
        while (done < m_out.size()) {
            const ssize_t n = ::write(m_fd, m_out.data() + done, m_out.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        m_out.clear();
        return true;
    }

private:
    int m_fd;
    std::string m_out;
    std::size_t m_start = 0;
};

void writeError(FrameWriter& out, const SourceError& error)
{
    out.begin(kFrameError);
    out.u32(error.code);
    out.bytes(error.text);
    out.end();
}

// The child's work: the table names, or one table's columns and rows.
void childWork(FrameWriter& out, const std::string& path, const std::string* tableName)
{
    SourceError error;
    MdbPtr mdb = openMdb(path, error);
    if (!mdb) {
        writeError(out, error);
        return;
    }
    if (!tableName) {
        const std::vector<MdbCatalogEntry*> tables = userTables(mdb.get());
        out.begin(kFrameNames);
        out.u32(static_cast<std::uint32_t>(tables.size()));
        for (MdbCatalogEntry* entry : tables) {
            out.bytes(toUtf8(entry->object_name));
        }
        out.end();
        return;
    }
    mdb_set_date_fmt(mdb.get(), "%Y-%m-%d %H:%M:%S");
    mdb_set_boolean_fmt_numbers(mdb.get());

    MdbCatalogEntry* found = nullptr;
    for (MdbCatalogEntry* entry : userTables(mdb.get())) {
        if (equalsNoCase(toUtf8(entry->object_name), *tableName)) {
            found = entry;
            break;
        }
    }
    if (!found) {
        writeError(out, {kErrNoTable, "The table \"" + *tableName + "\" does not exist."});
        return;
    }
    MdbTableDef* def = mdb_read_table(found);
    if (!def) {
        writeError(out, {kErrGeneral, "Could not read the table \"" + *tableName + "\"."});
        return;
    }
    mdb_read_columns(def);
    mdb_rewind_table(def);

    const unsigned int columnCount = def->num_cols;
    // libmdb writes at most its bind size into each buffer.
    const std::size_t bindSize = MDB_BIND_SIZE + 1;
    std::vector<std::vector<char>> buffers(columnCount, std::vector<char>(bindSize));
    std::vector<int> lengths(columnCount, 0);
    std::vector<ColumnKind> kinds;
    out.begin(kFrameColumns);
    out.u32(columnCount);
    for (unsigned int i = 0; i < columnCount; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
        kinds.push_back(kindOf(col->col_type));
        out.byte(static_cast<char>(kinds.back()));
        out.bytes(toUtf8(col->name));
        mdb_bind_column(def, static_cast<int>(i) + 1, buffers[i].data(), &lengths[i]);
    }
    if (!out.end()) {
        return;
    }
    while (mdb_fetch_row(def)) {
        out.begin(kFrameRow);
        out.u32(columnCount);
        for (unsigned int i = 0; i < columnCount; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
            if (lengths[i] <= 0) {
                out.byte(0);
                continue;
            }
            if (col->col_type == MDB_OLE) {
                std::size_t size = 0;
                void* data = mdb_ole_read_full(mdb.get(), col, &size);
                if (!data) {
                    out.byte(0);
                    continue;
                }
                out.byte(1);
                out.bytes(std::string_view(static_cast<const char*>(data), size));
                g_free(data);
                continue;
            }
            const std::size_t len = std::min(static_cast<std::size_t>(lengths[i]), bindSize - 1);
            const std::string_view value(buffers[i].data(), len);
            out.byte(1);
            out.bytes(kinds[i] == ColumnKind::Blob ? std::string(value) : toUtf8(value));
        }
        if (!out.end()) {
            return;
        }
    }
    mdb_free_tabledef(def);
}

[[noreturn]] void childMain(int fd, const std::string& path, const std::string* tableName, rlim_t memoryLimit,
                            rlim_t cpuSeconds)
{
    // Limits first: a damaged file may make the reader allocate or loop
    // without end. No core file for a crash on bad input.
    const rlimit memory{memoryLimit, memoryLimit};
    const rlimit cpu{cpuSeconds, cpuSeconds + 1};
    const rlimit core{0, 0};
    ::setrlimit(RLIMIT_AS, &memory);
    ::setrlimit(RLIMIT_CPU, &cpu);
    ::setrlimit(RLIMIT_CORE, &core);
    // The reader's complaints about a damaged file are not for the
    // caller's terminal; the outcome comes back as a frame.
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDERR_FILENO);
        ::dup2(null, STDOUT_FILENO);
    }
    int status = 0;
    try {
        FrameWriter out(fd);
        childWork(out, path, tableName);
        out.begin(kFrameDone);
        out.end();
        status = out.flush() ? 0 : 1;
    } catch (...) {
        status = 2;
    }
    ::_exit(status);
}

// ----- the caller's side -----------------------------------------------------

class FrameReader {
public:
    explicit FrameReader(std::string_view payload) : m_p(payload) {}
    bool u32(std::uint32_t& v)
    {
        if (m_p.size() < 4) {
            return false;
        }
        v = 0;
        for (int i = 3; i >= 0; --i) {
            v = (v << 8) | static_cast<unsigned char>(m_p[static_cast<std::size_t>(i)]);
        }
        m_p.remove_prefix(4);
        return true;
    }
    bool byte(char& c)
    {
        if (m_p.empty()) {
            return false;
        }
        c = m_p.front();
        m_p.remove_prefix(1);
        return true;
    }
    bool bytes(std::string& b)
    {
        std::uint32_t n = 0;
        if (!u32(n) || m_p.size() < n) {
            return false;
        }
        b.assign(m_p.substr(0, n));
        m_p.remove_prefix(n);
        return true;
    }
    bool atEnd() const { return m_p.empty(); }

private:
    std::string_view m_p;
};

// Limits of the isolated reader. The child may use this much more address
// space than the caller has mapped, and this much processor time; it must
// answer within the silence limit each time (a sound file streams its rows
// long before that), and may send at most this many bytes.
struct ReaderLimits {
    std::uint64_t memoryBytes;
    std::uint64_t outputBytes;
    int cpuSeconds = 120;
    int silenceMs = 4000;
};

ReaderLimits limitsFor(std::uint64_t fileSize)
{
    ReaderLimits limits{};
    limits.memoryBytes = (512ull << 20) + 8 * fileSize;
    limits.outputBytes = (64ull << 20) + 16 * fileSize;
    return limits;
}

std::uint64_t mappedBytes()
{
    // The child starts with the caller's mappings; its limit counts them.
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    unsigned long pages = 0;
    if (f) {
        if (std::fscanf(f, "%lu", &pages) != 1) {
            pages = 0;
        }
        std::fclose(f);
    }
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

// Every Access file begins with its engine's signature.
bool checkSignature(const std::string& path, SourceError& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    char head[20] = {};
    ssize_t got = -1;
    if (fd >= 0) {
        got = ::read(fd, head, sizeof head);
        ::close(fd);
    }
    if (got < 0) {
        error = {kErrFileNotFound, "Could not open the Access database \"" + toUtf8(path) + "\"."};
        return false;
    }
    const std::string_view engine(head + 4, 16);
    if (got < static_cast<ssize_t>(sizeof head) ||
        (engine != std::string_view("Standard Jet DB\0", 16) && engine != std::string_view("Standard ACE DB\0", 16))) {
        error = {kErrGeneral, "The file \"" + displayName(path) + "\" is not an Access database."};
        return false;
    }
    return true;
}

// What the caller does with the frames.
struct FrameHandler {
    RowSink* sink = nullptr;
    std::vector<std::string>* names = nullptr;
    std::vector<ColumnKind> kinds;
    std::size_t width = 0;
    SourceRow row;
    bool haveColumns = false;
    bool done = false;
    bool failed = false;  // the error is set
};

bool handleFrame(FrameHandler& h, char type, std::string_view payload, const std::string& path, SourceError& error)
{
    FrameReader in(payload);
    const auto malformed = [&]() {
        error = {kErrGeneral, "The Access reader gave a malformed answer for \"" + displayName(path) + "\"."};
        return false;
    };
    std::uint32_t count = 0;
    switch (type) {
    case kFrameError: {
        std::uint32_t code = 0;
        std::string text;
        if (!in.u32(code) || !in.bytes(text)) {
            return malformed();
        }
        error = {code, text};
        h.failed = true;
        return false;
    }
    case kFrameNames:
        if (!h.names || !in.u32(count)) {
            return malformed();
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            std::string name;
            if (!in.bytes(name)) {
                return malformed();
            }
            h.names->push_back(std::move(name));
        }
        return true;
    case kFrameColumns: {
        if (!h.sink || h.haveColumns || !in.u32(count) || count > kMaxColumns) {
            return malformed();
        }
        h.haveColumns = true;
        std::vector<SourceColumn> columns(count);
        for (SourceColumn& c : columns) {
            char kind = 0;
            if (!in.byte(kind) || !in.bytes(c.name) || kind < 0 || kind > static_cast<char>(ColumnKind::Blob)) {
                return malformed();
            }
            c.kind = static_cast<ColumnKind>(kind);
            h.kinds.push_back(c.kind);
        }
        makeColumnNamesUnique(columns);
        h.width = count;
        h.row.assign(count, std::nullopt);
        if (!h.sink->columns(columns, error)) {
            h.failed = true;
            return false;
        }
        return true;
    }
    case kFrameRow:
        if (!h.sink || !h.haveColumns || !in.u32(count) || count != h.width) {
            return malformed();
        }
        for (SourceValue& value : h.row) {
            char present = 0;
            if (!in.byte(present)) {
                return malformed();
            }
            if (!present) {
                value.reset();
                continue;
            }
            std::string bytes;
            if (!in.bytes(bytes)) {
                return malformed();
            }
            value = std::move(bytes);
        }
        if (!h.sink->row(h.row, error)) {
            h.failed = true;
            return false;
        }
        return true;
    case kFrameDone: h.done = true; return true;
    default: return malformed();
    }
}

// Runs the reader in a child and hands its frames to `handler`.
bool runIsolated(const std::string& path, const std::string* tableName, FrameHandler& handler, SourceError& error)
{
    if (!checkRegularFile(path, error) || !checkSignature(path, error)) {
        return false;
    }
    struct stat st {};
    ::stat(path.c_str(), &st);
    const ReaderLimits limits = limitsFor(static_cast<std::uint64_t>(st.st_size));
    const std::uint64_t memoryLimit = mappedBytes() + limits.memoryBytes;

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = {kErrGeneral, std::string("Could not start the Access reader: ") + std::strerror(errno)};
        return false;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        error = {kErrGeneral, std::string("Could not start the Access reader: ") + std::strerror(errno)};
        return false;
    }
    if (pid == 0) {
        ::close(fds[0]);
        childMain(fds[1], path, tableName, static_cast<rlim_t>(memoryLimit), static_cast<rlim_t>(limits.cpuSeconds));
    }
    ::close(fds[1]);
    const int fd = fds[0];
    const std::string name = "\"" + displayName(path) + "\"";
    const auto stop = [&](const std::string& why) {
        error = {kErrGeneral,
                 "The Access database " + name + " could not be read: " + why + "; the file may be damaged."};
        return false;
    };

    std::string buffer;
    std::uint64_t received = 0;
    bool ok = true;
    bool eof = false;
    char chunk[64 << 10];
    while (ok && !eof && !handler.done) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, limits.silenceMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            ok = stop("the reader gave no answer for " + platform::formatInt(limits.silenceMs / 1000) + " s");
            break;
        }
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            eof = true;
            break;
        }
        received += static_cast<std::uint64_t>(n);
        if (received > limits.outputBytes) {
            ok = stop("the reader sent more than the file can hold");
            break;
        }
        buffer.append(chunk, static_cast<std::size_t>(n));
        std::size_t at = 0;
        while (ok && buffer.size() - at >= 5) {
            std::uint32_t length = 0;
            for (int i = 3; i >= 0; --i) {
                length = (length << 8) | static_cast<unsigned char>(buffer[at + static_cast<std::size_t>(i)]);
            }
            if (length == 0 || length > kMaxFrame) {
                ok = handleFrame(handler, '?', {}, path, error);
                break;
            }
            if (buffer.size() - at - 4 < length) {
                break;
            }
            ok = handleFrame(handler, buffer[at + 4], std::string_view(buffer).substr(at + 5, length - 1), path, error);
            at += 4 + length;
        }
        buffer.erase(0, at);
    }
    ::close(fd);

    // Reap the child: at once when it failed us, else give it the silence
    // limit to end.
    int status = 0;
    bool reaped = false;
    if (ok && (handler.done || eof)) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limits.silenceMs);
        while (!reaped && std::chrono::steady_clock::now() < deadline) {
            const pid_t r = ::waitpid(pid, &status, WNOHANG);
            if (r == pid || (r < 0 && errno != EINTR)) {
                reaped = true;
            } else {
                ::usleep(2000);
            }
        }
    }
    if (!reaped) {
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (!ok) {
        return false;
    }
    if (handler.done) {
        return true;
    }
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        return stop(sig == SIGXCPU   ? std::string("the reader ran out of time")
                    : sig == SIGKILL ? std::string("the reader was stopped")
                                     : "the reader stopped with signal " + platform::formatInt(sig));
    }
    return stop("the reader ended without an answer");
}

}  // namespace

bool listMdbTables(const std::string& path, std::vector<std::string>& names, SourceError& error)
{
    names.clear();
    FrameHandler handler;
    handler.names = &names;
    if (!runIsolated(path, nullptr, handler, error)) {
        names.clear();
        return false;
    }
    return true;
}

bool readMdbTable(const std::string& path, const std::string& tableName, RowSink& sink, SourceError& error)
{
    FrameHandler handler;
    handler.sink = &sink;
    if (!runIsolated(path, &tableName, handler, error)) {
        return false;
    }
    if (!handler.haveColumns) {
        if (!sink.columns({}, error)) {
            return false;
        }
    }
    return sink.finish(handler.kinds, error);
}

bool readMdbTable(const std::string& path, const std::string& tableName, SourceTable& table, SourceError& error)
{
    table = SourceTable{};
    TableCollector collector(table);
    return readMdbTable(path, tableName, collector, error);
}

}  // namespace lumaret
