#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Why an effect file could not be taken. Everything but NotFound is a malformed file.
enum class WaveStatus {
    Ok,
    NotFound,       // the file cannot be opened
    NotRiffWave,    // no RIFF chunk of form type "WAVE"
    NoFormat,       // the first subchunk is missing or shorter than a PCM format block
    NotPcm,         // the format tag is not 1
    NoData,         // no "data" subchunk after the format, or an empty one
    DataTruncated,  // the "data" subchunk claims more bytes than the file holds
};

struct WaveFile {
    WaveStatus status = WaveStatus::NotFound;
    // The raw bytes of the "data" subchunk. The game plays them as 22050 Hz 8-bit unsigned mono
    // whatever the format block says: only its tag is looked at.
    std::vector<std::uint8_t> samples;
};

// Reads a RIFF/WAVE file the way the effect loader always has: find the RIFF "WAVE" chunk, take
// its first subchunk as the format block, require PCM, then look for "data" after it. Safe on
// hostile input: chunk sizes are checked against the file before anything is allocated.
WaveFile readWaveFile(const std::string& path);
