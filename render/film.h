#pragma once
// The temporary film: the one AVI file the application reserves at start-up, into which frames
// are compiled, from which playback reads and the export copies, and which goes at exit.
#include <string>

#include "render/avi_file.h"

namespace lv::render {

class TempFilm {
public:
    TempFilm() = default;
    // Discards the film.
    ~TempFilm();
    TempFilm(const TempFilm&) = delete;
    TempFilm& operator=(const TempFilm&) = delete;

    // For i = 0 to 99 tries "~_tmp%d.avi" in directory: opens it (created if absent, never
    // truncated; links and other non-plain files are passed over) and locks it with
    // flock(LOCK_EX | LOCK_NB); the first it can lock is held and
    // path() is its absolute path. When none can be held, path() names the one for 99 and no
    // file is held. Never ready afterwards. Returns whether a file is held.
    bool reserve(const std::string& directory = ".");

    // Deletes and closes the held file. A file this object does not hold (another process may
    // hold it) is left alone. Not ready afterwards.
    void discard();

    // Not ready; closes the file and gives up the lock. Playback need not call it: the path can
    // be read while the file is held.
    void closeFile();

    // Opens and locks path() again as reserve does (nothing to do while it is held). Ready when
    // the file is held.
    bool reopenFile();

    // Writes the film (writeAvi) from frames into the held file, taking the file first when it
    // is not held; a file another process holds is never written. Ready exactly when the film
    // was written; after a failure the file is left empty and the film is not ready, so it can
    // be neither played nor exported.
    bool compile(const FrameSource& frames, std::string& error);

    // Copies the ready film to destination: written under a temporary name and renamed, so an
    // existing file is replaced whole and destination never holds a partial copy. Fails with
    // error set when the film is not ready or on an I/O failure.
    bool copyTo(const std::string& destination, std::string& error) const;

    const std::string& path() const { return path_; }
    bool isReady() const { return ready_; }
    bool isHeld() const { return fd_ >= 0; }
    // The descriptor of the held file (-1 when none), for readers that must not lose the film.
    int handle() const { return fd_; }

private:
    bool hold(const std::string& path);

    std::string path_;
    int fd_ = -1;
    bool ready_ = false;
};

} // namespace lv::render
