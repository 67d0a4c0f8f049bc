#include "web/ListResponses.h"
#include <microhttpd.h>

namespace {
std::shared_ptr<MHD_Response> responseOf(const std::shared_ptr<const RankedList>& list) {
    // The text lives in the list; the response keeps the list until the library frees it.
    auto* keep = new std::shared_ptr<const RankedList>(list);
    MHD_Response* r = MHD_create_response_from_buffer_with_free_callback_cls(
        list->text.size(), const_cast<char*>(list->text.data()),
        [](void* cls) { delete static_cast<std::shared_ptr<const RankedList>*>(cls); }, keep);
    if (!r) {
        delete keep;
        return nullptr;
    }
    // The list changes with every upload: a cache on the way must ask again each time.
    if (MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain; charset=utf-8") != MHD_YES ||
        MHD_add_response_header(r, MHD_HTTP_HEADER_CACHE_CONTROL, "no-cache") != MHD_YES ||
        MHD_add_response_header(r, "X-Content-Type-Options", "nosniff") != MHD_YES) {
        MHD_destroy_response(r);
        return nullptr;
    }
    return std::shared_ptr<MHD_Response>(r, &MHD_destroy_response);
}
}  // namespace

ListResponses::Reply ListResponses::reply(std::int32_t version) {
    std::shared_ptr<const RankedList> list = cache_.list(version);
    Slot& slot = slots_[version - kFirstVersion];
    std::lock_guard lock(mutex_);
    if (slot.list != list || !slot.reply.response) {
        // A list built again: the old response stays with the connections still sending it.
        slot.reply = Reply{responseOf(list), list->text.size()};
        slot.list = slot.reply.response ? list : nullptr;
    }
    return slot.reply;
}
