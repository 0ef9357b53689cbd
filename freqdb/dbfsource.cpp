// The operator's dBase table, read with shapelib's DBF reader. Deleted
// records are skipped; logical fields become 1 or 0, dates YYYY-MM-DD.
// The header is checked before shapelib reads anything: its record count
// must fit in the file, its records must hold its fields. shapelib's own
// complaints are collected here (never printed) and fail the table.
#include <fcntl.h>
#include <shapefil.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/numbers.h"
#include "sourcetable.h"

namespace lumaret {

namespace {

std::string trimmed(const char* raw)
{
    std::string_view s(raw ? raw : "");
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    return std::string(s);
}

// shapelib reports through a plain function; the reader runs on one
// thread at a time per table, so a thread-local record is enough.
thread_local int t_dbfErrors = 0;
thread_local std::string t_dbfLastError;

void collectDbfError(const char* message)
{
    ++t_dbfErrors;
    t_dbfLastError = message ? message : "";
}

// Opens only regular files, so a pipe swapped in after the check cannot
// block the reader.
SAFile openRegularFile(const char* filename, const char* access)
{
    const int fd = ::open(filename, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, access);
    if (!file) {
        ::close(fd);
    }
    return reinterpret_cast<SAFile>(file);
}

std::uint32_t little(const unsigned char* p, int bytes)
{
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | p[i];
    }
    return value;
}

std::string number(std::uint64_t value)
{
    return platform::formatInt(static_cast<std::int64_t>(value));
}

// The header's promises against the file's size.
bool checkHeader(const std::string& path, SourceError& error)
{
    const std::string name = "\"" + displayName(path) + "\"";
    const auto damaged = [&](const std::string& what) {
        error = {kErrGeneral, "The dBase file " + name + " is damaged: " + what + "."};
        return false;
    };
    std::FILE* file = reinterpret_cast<std::FILE*>(openRegularFile(path.c_str(), "rb"));
    if (!file) {
        error = {kErrFileNotFound, "Could not open the dBase file \"" + toUtf8(path) + "\"."};
        return false;
    }
    unsigned char header[32] = {};
    const std::size_t got = std::fread(header, 1, sizeof header, file);
    struct stat st {};
    const bool sized = ::fstat(::fileno(file), &st) == 0;
    std::fclose(file);
    if (!sized) {
        error = {kErrFileNotFound, "Could not open the dBase file \"" + toUtf8(path) + "\"."};
        return false;
    }
    if (got < sizeof header) {
        return damaged("it is too short for a dBase header");
    }
    const std::uint64_t records = little(header + 4, 4);
    const std::uint64_t headerLength = little(header + 8, 2);
    const std::uint64_t recordLength = little(header + 10, 2);
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (headerLength < 33 || headerLength > size) {
        return damaged("its header length (" + number(headerLength) + " bytes) does not fit the file (" + number(size) +
                       " bytes)");
    }
    if (recordLength == 0 && records > 0) {
        return damaged("its header promises " + number(records) + " records of no length");
    }
    const std::uint64_t needed = headerLength + records * recordLength;
    if (needed > size) {
        return damaged("its header promises " + number(records) + " records of " + number(recordLength) +
                       " bytes, but the file holds only " + number((size - headerLength) / recordLength) + " of them");
    }
    return true;
}

}  // namespace

bool readDbfFile(const std::string& path, RowSink& sink, SourceError& error)
{
    if (!checkRegularFile(path, error) || !checkHeader(path, error)) {
        return false;
    }
    const std::string name = "\"" + displayName(path) + "\"";
    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.FOpen = openRegularFile;
    hooks.Error = collectDbfError;
    t_dbfErrors = 0;
    t_dbfLastError.clear();
    DBFHandle dbf = DBFOpenLL(path.c_str(), "rb", &hooks);
    if (!dbf) {
        error = {kErrGeneral,
                 "The dBase file " + name + " is damaged: " +
                     (t_dbfLastError.empty() ? std::string("its field descriptions do not fit its records.")
                                             : t_dbfLastError)};
        return false;
    }
    struct Closer {
        DBFHandle dbf;
        ~Closer() { DBFClose(dbf); }
    } closer{dbf};

    const int fieldCount = DBFGetFieldCount(dbf);
    std::vector<SourceColumn> columns;
    std::vector<char> nativeTypes;
    std::uint64_t fieldBytes = 1;  // the deletion flag
    for (int i = 0; i < fieldCount; ++i) {
        char fieldName[XBASE_FLDNAME_LEN_READ + 1] = {};
        int width = 0;
        int decimals = 0;
        const DBFFieldType type = DBFGetFieldInfo(dbf, i, fieldName, &width, &decimals);
        ColumnKind kind = ColumnKind::Text;
        if (type == FTInteger || type == FTLogical) {
            kind = ColumnKind::Integer;
        } else if (type == FTDouble) {
            kind = ColumnKind::Double;
        }
        columns.push_back({toUtf8(fieldName), kind});
        nativeTypes.push_back(DBFGetNativeFieldType(dbf, i));
        fieldBytes += static_cast<std::uint64_t>(width > 0 ? width : 0);
    }
    const std::uint64_t recordLength = static_cast<std::uint64_t>(dbf->nRecordLength);
    if (fieldBytes > recordLength) {
        error = {kErrGeneral, "The dBase file " + name + " is damaged: its records (" + number(recordLength) +
                                  " bytes) are too short for its fields (" + number(fieldBytes) + " bytes)."};
        return false;
    }
    if (columns.size() > kMaxColumns) {
        error = {kErrGeneral, "The dBase file " + name + " has " + number(columns.size()) + " columns; at most " +
                                  number(kMaxColumns) + " can be loaded."};
        return false;
    }
    makeColumnNamesUnique(columns);
    if (!sink.columns(columns, error)) {
        return false;
    }

    const int recordCount = DBFGetRecordCount(dbf);
    SourceRow row(static_cast<std::size_t>(fieldCount));
    for (int r = 0; r < recordCount; ++r) {
        const bool deleted = DBFIsRecordDeleted(dbf, r);
        if (t_dbfErrors > 0) {
            error = {kErrGeneral, "Could not read record " + number(static_cast<std::uint64_t>(r) + 1) + " of " + name +
                                      ": " + t_dbfLastError};
            return false;
        }
        if (deleted) {
            continue;
        }
        for (int i = 0; i < fieldCount; ++i) {
            SourceValue& value = row[static_cast<std::size_t>(i)];
            value.reset();
            if (DBFIsAttributeNULL(dbf, r, i)) {
                continue;
            }
            std::string text = trimmed(DBFReadStringAttribute(dbf, r, i));
            const char native = nativeTypes[static_cast<std::size_t>(i)];
            if (native == 'L') {
                const char c = text.empty() ? '?' : text.front();
                if (c == 'T' || c == 't' || c == 'Y' || c == 'y') {
                    text = "1";
                } else if (c == 'F' || c == 'f' || c == 'N' || c == 'n') {
                    text = "0";
                } else {
                    continue;
                }
            } else if (native == 'D' && text.size() == 8) {
                text = text.substr(0, 4) + "-" + text.substr(4, 2) + "-" + text.substr(6, 2);
            }
            if (!text.empty()) {
                value = toUtf8(text);
            }
        }
        if (t_dbfErrors > 0) {
            error = {kErrGeneral, "Could not read record " + number(static_cast<std::uint64_t>(r) + 1) + " of " + name +
                                      ": " + t_dbfLastError};
            return false;
        }
        if (!sink.row(row, error)) {
            return false;
        }
    }
    std::vector<ColumnKind> kinds;
    for (const SourceColumn& c : columns) {
        kinds.push_back(c.kind);
    }
    return sink.finish(kinds, error);
}

}  // namespace lumaret
