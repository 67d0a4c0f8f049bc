#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include "http/Passwords.h"
#include "checks/ReplayChecker.h"
#include "core/UploadForm.h"

class Storage;
class RankingCache;
class UploadLimits;

// Decides an upload that passed the form checks: the password against the name's registered
// hash, the replay by re-simulation, then one storage transaction. The answers are the first
// byte the game reads: '0' stored (or an earlier, better play stands), '1' the name is taken or
// the password differs, '2' the upload could not be processed.
class UploadService {
public:
    struct Reply {
        char code = '2';
        std::string detail;  // for the log
        std::int32_t score = 0;
    };

    // workers: uploads decided at once (each may run a check process and an argon2 hash);
    // queueLimit: uploads waiting beyond them before new ones are turned away with '2';
    // limits (none when null): the allowances of names and addresses.
    UploadService(Storage& storage, const ReplayChecker& checker, RankingCache* cache, int workers,
                  std::size_t queueLimit, UploadLimits* limits = nullptr);
    ~UploadService();
    UploadService(const UploadService&) = delete;
    UploadService& operator=(const UploadService&) = delete;

    // On this thread.
    Reply decide(const UploadRequest& request);
    // On a worker; done runs there. False (done never runs) when the queue is full or the
    // service is stopping.
    bool submit(UploadRequest request, std::function<void(Reply)> done);
    // Answers '2' the uploads waiting for a worker now (their clients may send them again to a
    // server that runs). Uploads submitted later are still taken.
    void refuseWaiting();
    // Stops taking uploads: those still waiting for a worker are answered '2' at once, those being
    // decided get until `grace` to finish (their check processes run on after a stop signal to
    // the server's process group), then their checks are ended and they are answered '2'. Returns
    // when every worker has stopped.
    void stop(std::chrono::milliseconds grace = std::chrono::hours(24));
    // For the metrics: uploads being decided on the workers, and waiting for one.
    int running() const { return running_.load(); }
    std::size_t queued();

private:
    void work();

    Storage& storage_;
    const ReplayChecker& checker_;
    RankingCache* cache_;
    UploadLimits* limits_;
    std::size_t queueLimit_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;  // a worker finished a decision
    std::deque<std::pair<UploadRequest, std::function<void(Reply)>>> queue_;
    bool stopping_ = false;
    std::atomic<int> running_{0};
    std::vector<std::thread> workers_;
    passwords::VerifiedCache verified_;
};
