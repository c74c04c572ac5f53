// The service's access token: 32 random bytes as 64 hexadecimal digits in a
// file only its owner may read, made at the first start.
#pragma once
#include <string>

constexpr const char* ServeTokenFileName = "vornik-serve.token";

// Reads the token from path, or makes the file (mode 0600) when it is
// missing. False with the reason when it cannot be read or made, or holds
// something else than a token.
bool LoadOrMakeToken(const std::string& path, std::string& token, bool& made, std::string& error);

// Whether an Authorization header value is "Bearer <token>" (the comparison
// takes the same time wherever the first difference lies).
bool BearerMatches(const std::string& header, const std::string& token);
