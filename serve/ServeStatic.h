// The web page's files: GET / is index.html, GET /<path> a file of the web
// folder (no listings, nothing outside it).
#pragma once
#include "serve/ServeTypes.h"

#include <string>

// False when the path names no file of the folder (404).
bool ServeWebFile(const std::string& webDir, const std::string& path, TServeResponse& response);
