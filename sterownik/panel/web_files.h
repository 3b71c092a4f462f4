#pragma once

#include <span>
#include <string_view>

namespace sterownik::panel {

// The page's own files, built into the binary: the panel serves these paths
// and no other file.
struct WebFile {
    std::string_view path;  // "/" for the page itself
    std::string_view type;  // its Content-Type
    std::string_view body;
};

std::span<const WebFile> WebFiles();

}  // namespace sterownik::panel
