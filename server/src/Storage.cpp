#include "Storage.h"

std::unique_ptr<Storage> openStorage(const std::string& where) {
    if (where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0) return openPostgresStorage(where);
    return openSqliteStorage(where);
}
