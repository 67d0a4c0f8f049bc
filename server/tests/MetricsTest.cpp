#include <gtest/gtest.h>
#include <stdexcept>
#include "core/Metrics.h"

namespace {
bool has(const std::string& page, const std::string& line) { return page.find(line + "\n") != std::string::npos; }

TEST(MetricsTest, CountersAndCumulativeHistogramsInTheTextFormat) {
    Metrics m;
    m.request("/ranking", 200, 0.0004);
    m.request("/ranking", 200, 0.003);
    m.request("/ranking", 503, 7.0);  // past the last bucket: only +Inf holds it
    m.request("/upload", 200, 0.2);
    m.upload('0', "stored");
    m.upload('0', "stored");
    m.upload('2', "mismatch");
    m.database(0.001, false);
    m.database(0.02, true);
    const std::string page = m.render();
    EXPECT_TRUE(has(page, "# TYPE nimbulon_http_requests_total counter"));
    EXPECT_TRUE(has(page, "nimbulon_http_requests_total{path=\"/ranking\",status=\"200\"} 2"));
    EXPECT_TRUE(has(page, "nimbulon_http_requests_total{path=\"/ranking\",status=\"503\"} 1"));
    EXPECT_TRUE(has(page, "nimbulon_http_request_seconds_bucket{path=\"/ranking\",le=\"0.0005\"} 1"));
    EXPECT_TRUE(has(page, "nimbulon_http_request_seconds_bucket{path=\"/ranking\",le=\"0.005\"} 2"));
    EXPECT_TRUE(has(page, "nimbulon_http_request_seconds_bucket{path=\"/ranking\",le=\"2.5\"} 2"));
    EXPECT_TRUE(has(page, "nimbulon_http_request_seconds_bucket{path=\"/ranking\",le=\"+Inf\"} 3"));
    EXPECT_TRUE(has(page, "nimbulon_http_request_seconds_count{path=\"/ranking\"} 3"));
    EXPECT_TRUE(has(page, "nimbulon_http_request_seconds_bucket{path=\"/upload\",le=\"0.1\"} 0"));
    EXPECT_TRUE(has(page, "nimbulon_uploads_total{result=\"0\",reason=\"stored\"} 2"));
    EXPECT_TRUE(has(page, "nimbulon_uploads_total{result=\"2\",reason=\"mismatch\"} 1"));
    EXPECT_TRUE(has(page, "nimbulon_database_seconds_count 2"));
    EXPECT_TRUE(has(page, "nimbulon_database_errors_total 1"));
    EXPECT_NE(page.find("nimbulon_check_cpu_seconds_total "), std::string::npos);
}

TEST(MetricsTest, GaugesAreReadAtRenderAndADatabaseThatFailsIsReportedDown) {
    Metrics m;
    int queued = 3;
    bool databaseUp = true;
    m.setGauges({[] { return 1; }, [&] { return queued; },
                 [&]() -> std::int64_t {
                     if (!databaseUp) throw std::runtime_error("gone");
                     return 42;
                 },
                 [] { return std::int64_t{2}; }});
    std::string page = m.render();
    EXPECT_TRUE(has(page, "nimbulon_checks_running 1"));
    EXPECT_TRUE(has(page, "nimbulon_checks_queued 3"));
    EXPECT_TRUE(has(page, "nimbulon_stored_plays 42"));
    EXPECT_TRUE(has(page, "nimbulon_banned_names 2"));
    EXPECT_TRUE(has(page, "nimbulon_database_up 1"));
    queued = 0;
    databaseUp = false;
    page = m.render();
    EXPECT_TRUE(has(page, "nimbulon_checks_queued 0"));
    EXPECT_EQ(page.find("nimbulon_stored_plays "), std::string::npos);
    EXPECT_TRUE(has(page, "nimbulon_database_up 0"));
}

TEST(MetricsTest, UploadReasonsFromTheUploadServicesWords) {
    const struct {
        const char* detail;
        const char* reason;
    } cases[] = {
        {"stored", "stored"},
        {"an earlier play scores as much or more", "kept_earlier"},
        {"password differs", "password"},
        {"re-simulation: mismatch (got score 1 stages 1 lives 0 frames 9) ", "mismatch"},
        {"re-simulation: failed (got score 0 stages 0 lives 0 frames 0) killed", "check_failed"},
        {"storage: sqlite step: disk I/O error", "storage"},
        {"something new", "other"},
    };
    for (const auto& c : cases) EXPECT_EQ(uploadReason('2', c.detail), c.reason) << c.detail;
}
}  // namespace
