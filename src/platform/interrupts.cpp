#include "platform/interrupts.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#if defined(__has_include)
#if __has_include(<signal.h>) && __has_include(<pthread.h>) && __has_include(<dirent.h>) && \
    __has_include(<fcntl.h>) && __has_include(<sys/stat.h>) && __has_include(<unistd.h>)
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#if defined(SIGPIPE) && defined(SIGHUP) && defined(AT_SYMLINK_NOFOLLOW)
#define TAVRIN_POSIX_INTERRUPTS 1
#endif
#endif
#endif

namespace tavrin {

#if defined(TAVRIN_POSIX_INTERRUPTS)

namespace {

// Temporary files named at once: a few per thread at most.
constexpr int kSlots = 512;
constexpr std::size_t kNameBytes = 96;

enum SlotState : int { kFree = 0, kTaken = 1, kListed = 2 };

struct Slot {
    std::atomic<int> state{kFree};
    int folder = -1;
    char name[kNameBytes] = {};
};

Slot slots[kSlots];
// Set by the first interrupt: no file is named after it.
std::atomic<bool> dying{false};
// Threads between listing a name and having made the file of that name.
std::atomic<int> making{0};

const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the interrupt handler reads them");

// Only calls that are safe in a signal handler: waits for the threads making a file, removes
// every listed file and raises the signal again with its default action.
extern "C" void on_interrupt(int signal_number) {
    dying.store(true);
    // A thread that listed its file before the flag was set makes it shortly; a bounded wait,
    // since the thread could be stopped.
    for (int waits = 0; waits < 2000 && making.load() > 0; ++waits) {
        const timespec pause{0, 1000000};  // 1 ms
        nanosleep(&pause, nullptr);
    }
    for (Slot& slot : slots) {
        if (slot.state.load() == kListed) (void)unlinkat(slot.folder, slot.name, 0);
    }
    struct sigaction fallback;
    std::memset(&fallback, 0, sizeof fallback);
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    (void)sigaction(signal_number, &fallback, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    (void)pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    (void)raise(signal_number);
}

// Installs the handler for every interrupt that is not ignored.
void install() {
    for (const int signal_number : kInterrupts) {
        struct sigaction now;
        if (sigaction(signal_number, nullptr, &now) != 0 || now.sa_handler == SIG_IGN) continue;
        struct sigaction handler;
        std::memset(&handler, 0, sizeof handler);
        handler.sa_handler = on_interrupt;
        sigemptyset(&handler.sa_mask);
        // Another interrupt waits until this one has cleaned up.
        for (const int other : kInterrupts)
            sigaddset(&handler.sa_mask, other);
        handler.sa_flags = SA_RESTART;
        (void)sigaction(signal_number, &handler, nullptr);
    }
}

sigset_t interrupt_set() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal_number : kInterrupts)
        sigaddset(&set, signal_number);
    return set;
}

// This thread's signal mask before enter(), restored by leave().
thread_local sigset_t saved_mask;

}  // namespace

bool InterruptGuard::enter(int folder, const std::string& name) {
    static std::once_flag installed;
    std::call_once(installed, install);
    release();
    const sigset_t held = interrupt_set();
    (void)pthread_sigmask(SIG_BLOCK, &held, &saved_mask);
    making.fetch_add(1);
    if (dying.load() || name.size() >= kNameBytes) {
        making.fetch_sub(1);
        (void)pthread_sigmask(SIG_SETMASK, &saved_mask, nullptr);
        errno = dying.load() ? EINTR : ENAMETOOLONG;
        return false;
    }
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (slots[i].state.compare_exchange_strong(expected, kTaken)) {
            slots[i].folder = folder;
            std::memcpy(slots[i].name, name.c_str(), name.size() + 1);
            slots[i].state.store(kListed);
            slot_ = i;
            break;
        }
    }
    // With every slot taken the file is made unlisted: an interrupt may then leave it.
    return true;
}

void InterruptGuard::leave() {
    making.fetch_sub(1);
    (void)pthread_sigmask(SIG_SETMASK, &saved_mask, nullptr);
}

void InterruptGuard::release() {
    if (slot_ < 0) return;
    slots[slot_].state.store(kFree);
    slot_ = -1;
}

void remove_stale_temporaries(int folder) {
    const int copy = dup(folder);
    if (copy < 0) return;
    DIR* entries = fdopendir(copy);
    if (entries == nullptr) {
        (void)close(copy);
        return;
    }
    const time_t hour_ago = time(nullptr) - 3600;
    static const char kStart[] = ".tavrin-";
    static const char kEnd[] = ".tmp";
    while (const dirent* entry = readdir(entries)) {
        const std::size_t length = std::strlen(entry->d_name);
        if (length < sizeof kStart - 1 + sizeof kEnd - 1 ||
            std::strncmp(entry->d_name, kStart, sizeof kStart - 1) != 0 ||
            std::strcmp(entry->d_name + length - (sizeof kEnd - 1), kEnd) != 0)
            continue;
        struct stat info;
        if (fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(info.st_mode) && info.st_mtime < hour_ago)
            (void)unlinkat(folder, entry->d_name, 0);
    }
    closedir(entries);
}

#else

bool InterruptGuard::enter(int, const std::string&) {
    return true;
}

void InterruptGuard::leave() {}

void InterruptGuard::release() {
    slot_ = -1;
}

void remove_stale_temporaries(int) {}

#endif

}  // namespace tavrin
