#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include "storage/RankingList.h"

struct MHD_Response;

// The game's list replies as libmicrohttpd responses, made once for each list the cache builds
// and queued for every request until the list is built again: the most requested reply costs no
// copy of its text and no allocation per request. The response points into the cached list's
// text, which it keeps alive until the library has sent it to the last connection.
class ListResponses {
public:
    explicit ListResponses(RankingCache& cache) : cache_(cache) {}
    ~ListResponses() = default;  // the library frees a response once the last connection is done
    ListResponses(const ListResponses&) = delete;
    ListResponses& operator=(const ListResponses&) = delete;

    struct Reply {
        // Queue it (MHD_queue_response takes a reference of its own); the holder's reference goes
        // when the last copy does. Null when the library could not make one.
        std::shared_ptr<MHD_Response> response;
        std::size_t bytes = 0;
    };
    // The reply for a ranked version's list. Throws StorageError.
    Reply reply(std::int32_t version);

private:
    struct Slot {
        std::shared_ptr<const RankedList> list;  // the list the response was made from
        Reply reply;
    };
    static constexpr std::int32_t kFirstVersion = 104;
    RankingCache& cache_;
    std::mutex mutex_;
    Slot slots_[4];
};
