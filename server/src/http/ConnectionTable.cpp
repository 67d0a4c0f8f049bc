#include "http/ConnectionTable.h"

unsigned ConnectionTable::countOf(const std::string& address) const {
    const auto it = perAddress_.find(address);
    return it == perAddress_.end() ? 0 : it->second;
}

bool ConnectionTable::isCut(Id id) const {
    const auto it = open_.find(id);
    return it != open_.end() && it->second.cut;
}

void ConnectionTable::release(const std::string& address) {
    if (address.empty()) return;
    const auto it = perAddress_.find(address);
    if (it == perAddress_.end()) return;
    if (--it->second == 0) perAddress_.erase(it);
}

ConnectionTable::Id ConnectionTable::oldest(const std::string* address, bool underWay) const {
    Id best = nullptr;
    const Entry* bestEntry = nullptr;
    for (const auto& [id, e] : open_) {
        if (e.cut || e.busy || (e.inRequest && !underWay) || (address && e.address != *address)) continue;
        if (!bestEntry || e.since < bestEntry->since || (e.since == bestEntry->since && e.order < bestEntry->order)) {
            best = id;
            bestEntry = &e;
        }
    }
    return best;
}

bool ConnectionTable::bodyTooSlow(const Entry& e, Clock::time_point now) const {
    if (!e.body || limits_.minBodyRate == 0) return false;
    // What has arrived buys its time: n bytes, n / rate seconds past the grace.
    const auto bought = std::chrono::milliseconds(e.received * 1000 / limits_.minBodyRate);
    return now - e.begun > limits_.bodyGrace + bought;
}

ConnectionTable::Cut ConnectionTable::cut(Id id, Entry& e, const char* why) {
    e.cut = true;
    --live_;
    release(e.address);
    release(e.forwarded);
    e.forwarded.clear();
    return {id, e.fd, e.address, why};
}

std::vector<ConnectionTable::Cut> ConnectionTable::opened(Id id, int fd, const std::string& address,
                                                          Clock::time_point now) {
    std::vector<Cut> cuts;
    Entry e{fd, address, {}, now, now, next_++};
    const char* refused = nullptr;
    if (!address.empty() && countOf(address) >= limits_.perAddress) {
        if (Id old = oldest(&address, false)) cuts.push_back(cut(old, open_.at(old), "displaced by a newer connection of its address"));
        else refused = "every connection its address may have is busy";
    }
    if (!refused && live_ >= limits_.total) {
        if (Id old = oldest(nullptr, true)) cuts.push_back(cut(old, open_.at(old), "displaced: the server is full"));
        else refused = "the server is full of connections waiting for checks";
    }
    Entry& added = open_[id] = e;
    ++live_;
    if (!address.empty()) ++perAddress_[address];
    if (refused) cuts.push_back(cut(id, added, refused));
    return cuts;
}

bool ConnectionTable::requestBegun(Id id, Clock::time_point now, const std::string& forwardedAddress) {
    const auto it = open_.find(id);
    if (it == open_.end()) return true;
    Entry& e = it->second;
    e.inRequest = true;
    e.begun = now;
    e.received = 0;
    e.body = false;
    if (e.cut || forwardedAddress.empty()) return true;
    if (countOf(forwardedAddress) >= limits_.perAddress) return false;
    ++perAddress_[forwardedAddress];
    e.forwarded = forwardedAddress;
    return true;
}

void ConnectionTable::bodyReceived(Id id, std::size_t bytes) {
    const auto it = open_.find(id);
    if (it == open_.end()) return;
    it->second.body = true;
    it->second.received += bytes;
}

void ConnectionTable::setBusy(Id id, bool busy) {
    if (const auto it = open_.find(id); it != open_.end()) it->second.busy = busy;
}

void ConnectionTable::requestEnded(Id id, Clock::time_point now) {
    const auto it = open_.find(id);
    if (it == open_.end()) return;
    Entry& e = it->second;
    e.inRequest = e.busy = e.body = false;
    e.since = now;
    release(e.forwarded);
    e.forwarded.clear();
}

void ConnectionTable::closed(Id id) {
    const auto it = open_.find(id);
    if (it == open_.end()) return;
    if (!it->second.cut) {
        --live_;
        release(it->second.address);
        release(it->second.forwarded);
    }
    open_.erase(it);
}

std::vector<ConnectionTable::Cut> ConnectionTable::overdue(Clock::time_point now) {
    std::vector<Cut> cuts;
    for (auto& [id, e] : open_) {
        if (e.cut || e.busy) continue;
        if (!e.inRequest && now - e.since >= limits_.headDeadline)
            cuts.push_back(cut(id, e, kNoHead));
        else if (e.inRequest && now - e.since >= limits_.requestDeadline)
            cuts.push_back(cut(id, e, kNoRequest));
        else if (e.inRequest && bodyTooSlow(e, now))
            cuts.push_back(cut(id, e, kSlowBody));
    }
    return cuts;
}
