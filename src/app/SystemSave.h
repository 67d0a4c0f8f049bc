#pragma once
#include <string>

class Log;

// ./data/system.sav: the progress flags and the last name, password and comment entered for the
// online ranking. Read once at start-up, written in full by the scenes on each change.
class SystemSave {
public:
    static constexpr const char* kDefaultPath = "./data/system.sav";

    // log: not owned; may be null (nothing is logged then).
    explicit SystemSave(std::string path = kDefaultPath, Log* log = nullptr);

    // A missing file keeps the cleared fields; a file that ends early keeps what was read before
    // its end and is logged as damaged.
    void Read();
    // Replaces the file through a temporary file, so a failed write (a full disk, a read-only
    // folder) leaves the previous save whole. False, and logged, when it could not be written.
    bool Write() const;

    bool tutorialCleared = false;
    bool shortCourseCleared = false;
    bool fullCourseCleared = false;
    std::string name;
    std::string password;
    std::string comment;

private:
    std::string path_;
    Log* log_;
};
