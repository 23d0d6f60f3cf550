#pragma once

#include <QString>
#include <functional>
#include <string_view>

// Calls visit with the name of every entry of folder ("." and ".." left out), in the order
// the file system lists them. False when the folder cannot be listed (missing, no rights).
bool ListFolder(const QString& folder, const std::function<void(std::string_view)>& visit);
