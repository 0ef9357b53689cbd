// Tables of the operator's Access database, read with mdbtools' libmdb.
// Texts arrive as UTF-8; dates as "YYYY-MM-DD HH:MM:SS"; yes/no fields as
// 1 or 0; binary fields as their bytes.
#include <algorithm>
#include <memory>

// glib first: libmdb's header includes it inside an extern "C" block.
#include <glib.h>

#include <mdbtools.h>

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
    case MDB_LONGINT:
        return ColumnKind::Integer;
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_MONEY:
    case MDB_NUMERIC:
        return ColumnKind::Double;
    case MDB_BINARY:
    case MDB_OLE:
        return ColumnKind::Blob;
    default:
        return ColumnKind::Text;
    }
}

}  // namespace

bool listMdbTables(const std::string& path, std::vector<std::string>& names, SourceError& error)
{
    names.clear();
    MdbPtr mdb = openMdb(path, error);
    if (!mdb) {
        return false;
    }
    for (MdbCatalogEntry* entry : userTables(mdb.get())) {
        names.push_back(toUtf8(entry->object_name));
    }
    return true;
}

bool readMdbTable(const std::string& path, const std::string& tableName, SourceTable& table, SourceError& error)
{
    table = SourceTable{};
    MdbPtr mdb = openMdb(path, error);
    if (!mdb) {
        return false;
    }
    mdb_set_date_fmt(mdb.get(), "%Y-%m-%d %H:%M:%S");
    mdb_set_boolean_fmt_numbers(mdb.get());

    MdbCatalogEntry* found = nullptr;
    for (MdbCatalogEntry* entry : userTables(mdb.get())) {
        if (equalsNoCase(toUtf8(entry->object_name), tableName)) {
            found = entry;
            break;
        }
    }
    if (!found) {
        error = {kErrNoTable, "The table \"" + tableName + "\" does not exist."};
        return false;
    }
    MdbTableDef* def = mdb_read_table(found);
    if (!def) {
        error = {kErrGeneral, "Could not read the table \"" + tableName + "\"."};
        return false;
    }
    mdb_read_columns(def);
    mdb_rewind_table(def);

    const unsigned int columnCount = def->num_cols;
    // libmdb writes at most its bind size into each buffer.
    const std::size_t bindSize = MDB_BIND_SIZE + 1;
    std::vector<std::vector<char>> buffers(columnCount, std::vector<char>(bindSize));
    std::vector<int> lengths(columnCount, 0);
    for (unsigned int i = 0; i < columnCount; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
        table.columns.push_back({toUtf8(col->name), kindOf(col->col_type)});
        mdb_bind_column(def, static_cast<int>(i) + 1, buffers[i].data(), &lengths[i]);
    }
    while (mdb_fetch_row(def)) {
        SourceRow row(columnCount);
        for (unsigned int i = 0; i < columnCount; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
            if (lengths[i] <= 0) {
                continue;
            }
            if (col->col_type == MDB_OLE) {
                std::size_t size = 0;
                void* data = mdb_ole_read_full(mdb.get(), col, &size);
                if (data) {
                    row[i] = std::string(static_cast<const char*>(data), size);
                    g_free(data);
                }
                continue;
            }
            const std::size_t len = std::min(static_cast<std::size_t>(lengths[i]), bindSize - 1);
            std::string value(buffers[i].data(), len);
            row[i] = table.columns[i].kind == ColumnKind::Blob ? value : toUtf8(value);
        }
        table.rows.push_back(std::move(row));
    }
    mdb_free_tabledef(def);
    return true;
}

}  // namespace lumaret
