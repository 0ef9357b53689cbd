// The operator's dBase table, read with shapelib's DBF reader. Deleted
// records are skipped; logical fields become 1 or 0, dates YYYY-MM-DD.
#include <shapefil.h>

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

}  // namespace

bool readDbfFile(const std::string& path, SourceTable& table, SourceError& error)
{
    table = SourceTable{};
    DBFHandle dbf = DBFOpen(path.c_str(), "rb");
    if (!dbf) {
        error = {kErrFileNotFound, "Could not open the dBase file \"" + toUtf8(path) + "\"."};
        return false;
    }
    const int fieldCount = DBFGetFieldCount(dbf);
    std::vector<char> nativeTypes;
    for (int i = 0; i < fieldCount; ++i) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        int width = 0;
        int decimals = 0;
        const DBFFieldType type = DBFGetFieldInfo(dbf, i, name, &width, &decimals);
        ColumnKind kind = ColumnKind::Text;
        if (type == FTInteger || type == FTLogical) {
            kind = ColumnKind::Integer;
        } else if (type == FTDouble) {
            kind = ColumnKind::Double;
        }
        table.columns.push_back({toUtf8(name), kind});
        nativeTypes.push_back(DBFGetNativeFieldType(dbf, i));
    }
    const int recordCount = DBFGetRecordCount(dbf);
    for (int r = 0; r < recordCount; ++r) {
        if (DBFIsRecordDeleted(dbf, r)) {
            continue;
        }
        SourceRow row(static_cast<std::size_t>(fieldCount));
        for (int i = 0; i < fieldCount; ++i) {
            if (DBFIsAttributeNULL(dbf, r, i)) {
                continue;
            }
            std::string value = trimmed(DBFReadStringAttribute(dbf, r, i));
            const char native = nativeTypes[static_cast<std::size_t>(i)];
            if (native == 'L') {
                const char c = value.empty() ? '?' : value.front();
                if (c == 'T' || c == 't' || c == 'Y' || c == 'y') {
                    value = "1";
                } else if (c == 'F' || c == 'f' || c == 'N' || c == 'n') {
                    value = "0";
                } else {
                    continue;
                }
            } else if (native == 'D' && value.size() == 8) {
                value = value.substr(0, 4) + "-" + value.substr(4, 2) + "-" + value.substr(6, 2);
            }
            if (!value.empty()) {
                row[static_cast<std::size_t>(i)] = toUtf8(value);
            }
        }
        table.rows.push_back(std::move(row));
    }
    DBFClose(dbf);
    return true;
}

}  // namespace lumaret
