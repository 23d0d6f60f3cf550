#pragma once

// Reading a secret from standard input, never from the command line: on a terminal after a
// prompt (on standard error) with the echo off, one line; from a pipe or a file, the whole
// input less one final line end.

#include <QString>
#include <optional>

// nullopt when the input could not be read (a closed terminal, an interrupted prompt).
std::optional<QString> ReadSecretInput(const QString& prompt);
