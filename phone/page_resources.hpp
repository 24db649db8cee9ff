// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace tavik::phone {

// The phone's page, built into the program: no file on disk, nothing from elsewhere.
struct PageResource {
    std::string_view path;  // "/index.html", "/app.js", "/style.css"
    std::string_view contentType;
    std::string_view body;
};

// The resource at `path` ("/" is the page itself), or nullptr.
const PageResource* pageResource(std::string_view path);

}  // namespace tavik::phone
