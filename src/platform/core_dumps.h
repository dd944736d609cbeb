#pragma once
// Passwords and sign-in tokens sit in the program's memory while it runs, and in library
// buffers beyond reach (TLS, HTTP): a core file would carry them to disk. The program makes
// none.

namespace corvelle {

// Turns core files off for this process and its children (the core size limit to 0, and the
// process marked not dumpable, which also keeps other processes of the user from reading
// its memory). False when the system refused.
bool KeepSecretsOutOfCoreFiles();

}  // namespace corvelle
