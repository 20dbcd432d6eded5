// Named temporary files that an interrupt must not leave behind. While a temporary file has a
// name in a folder, it is listed here; an interrupt (SIGINT, SIGTERM, SIGHUP, SIGPIPE) removes
// every listed file and then ends the process as the signal would have ended it. A signal that
// the process was started ignoring (nohup) stays ignored.
#ifndef TAVRIN_PLATFORM_INTERRUPTS_H
#define TAVRIN_PLATFORM_INTERRUPTS_H

#include <string>

namespace tavrin {

// One temporary file listed for removal on an interrupt, from construction to release().
// Listing and naming the file are one step: `make` (a function of no argument returning a
// descriptor or 0 on success, below 0 with errno on failure) runs with the interrupts held back
// on this thread, after the name is listed, so that no interrupt can find the file named and
// unlisted. The interrupts are installed on first use.
class InterruptGuard {
public:
    InterruptGuard() = default;
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
    ~InterruptGuard() { release(); }

    // Lists the file `name` in the folder open as `folder` (a descriptor) and runs `make`. What
    // `make` returned; an interrupt already under way refuses it (EINTR) without running it.
    template <typename Make>
    int listed(int folder, const std::string& name, Make make) {
        if (!enter(folder, name)) return -1;
        const int result = make();
        leave();
        return result;
    }
    // Takes the file off the list: it has been renamed or removed.
    void release();

private:
    bool enter(int folder, const std::string& name);
    void leave();

    int slot_ = -1;  // -1 when no file is listed
};

// Removes the temporary files `.tavrin-*.tmp` of the folder open as `folder` whose content last
// changed more than an hour ago: those of a run that ended before it could remove them. A link
// or a folder of such a name is left alone.
void remove_stale_temporaries(int folder);

}  // namespace tavrin

#endif  // TAVRIN_PLATFORM_INTERRUPTS_H
