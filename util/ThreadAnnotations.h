// Lock contracts that clang checks at compile time (-Wthread-safety): which
// mutex guards a member, which functions expect a mutex held, which take or
// release one. On other compilers the macros expand to nothing.
#pragma once

#if defined(__clang__)
#define IM_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define IM_THREAD_ANNOTATION(x)
#endif

// A type that is a lock.
#define CAPABILITY(name) IM_THREAD_ANNOTATION(capability(name))
// An RAII type that holds a lock from construction to destruction.
#define SCOPED_CAPABILITY IM_THREAD_ANNOTATION(scoped_lockable)
// The member may be read or written only with the lock held.
#define GUARDED_BY(lock) IM_THREAD_ANNOTATION(guarded_by(lock))
// What the pointer points to may be used only with the lock held.
#define PT_GUARDED_BY(lock) IM_THREAD_ANNOTATION(pt_guarded_by(lock))
// The caller must hold the locks.
#define REQUIRES(...) IM_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
// The caller must not hold the locks (the function takes them).
#define EXCLUDES(...) IM_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
// The function takes the locks and returns holding them.
#define ACQUIRE(...) IM_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
// The function releases locks that the caller held.
#define RELEASE(...) IM_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
// The function takes the locks when it returns `result`.
#define TRY_ACQUIRE(...) IM_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
// The function returns (a reference to) this lock.
#define RETURN_CAPABILITY(lock) IM_THREAD_ANNOTATION(lock_returned(lock))
// The function is left out of the check (only for lock wrappers themselves).
#define NO_THREAD_SAFETY_ANALYSIS IM_THREAD_ANNOTATION(no_thread_safety_analysis)
