// The program's first step on POSIX systems, before the runtime starts.
#pragma once

// Opens /dev/null on any of descriptors 0, 1 and 2 that the parent left
// closed, and ignores SIGPIPE. A closed descriptor would otherwise be taken by
// the first file or connection opened (a display connection, say), and the
// diagnostics meant for stderr would be written into it; a stderr pipe whose
// reader has gone would end the game at its first diagnostic. With this step a
// diagnostic that cannot be written is lost, and the game plays on.
void PrepareStandardStreams();
