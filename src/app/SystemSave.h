#pragma once
#include <string>

// ./data/system.sav: the progress flags and the last name, password and comment entered for the
// online ranking. Read once at start-up, written in full by the scenes on each change.
class SystemSave {
public:
    static constexpr const char* kDefaultPath = "./data/system.sav";

    explicit SystemSave(std::string path = kDefaultPath);

    void Read();
    // Replaces the file through a temporary file; does nothing when it cannot be written.
    void Write() const;

    bool tutorialCleared = false;
    bool shortCourseCleared = false;
    bool fullCourseCleared = false;
    std::string name;
    std::string password;
    std::string comment;

private:
    std::string path_;
};
