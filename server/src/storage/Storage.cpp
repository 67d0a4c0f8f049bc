#include "storage/Storage.h"

bool isPostgresUrl(const std::string& where) {
    return where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0;
}

std::unique_ptr<Storage> openStorage(const std::string& where) {
    if (isPostgresUrl(where)) return openPostgresStorage(where);
    return openSqliteStorage(where);
}
