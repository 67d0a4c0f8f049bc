// Moderation over the backend a database string names, as openStorage chooses its backend.
#include "storage/Moderation.h"
#include "storage/Storage.h"

std::unique_ptr<Moderation> openModeration(const std::string& where) {
    if (isPostgresUrl(where)) return openPostgresModeration(where);
    return openSqliteModeration(where);
}
