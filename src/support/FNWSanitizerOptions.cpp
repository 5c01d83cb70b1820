// The sanitizers' settings, built into every program of a sanitizer build: a program that a test
// starts (fenwave-cli, the wrappers, the agent) runs with them as the test does, whatever its
// environment holds.

extern "C" {

#if defined(__SANITIZE_THREAD__)
__attribute__((visibility("default"), used)) const char* __tsan_default_options()
{
    return "halt_on_error=1 second_deadlock_stack=1";
}

// glibc guards its time-zone state with a lock ThreadSanitizer cannot see.
__attribute__((visibility("default"), used)) const char* __tsan_default_suppressions()
{
    return "race:tzset_internal\n";
}
#endif

#if defined(__SANITIZE_ADDRESS__)
__attribute__((visibility("default"), used)) const char* __asan_default_options()
{
    return "detect_leaks=1";
}

__attribute__((visibility("default"), used)) const char* __ubsan_default_options()
{
    return "print_stacktrace=1";
}
#endif

} // extern "C"
