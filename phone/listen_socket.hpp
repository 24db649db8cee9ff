// SPDX-License-Identifier: MIT
#pragma once

#include <boost/asio/ip/tcp.hpp>

namespace tavik::phone {

// Sets an opened, unbound listening socket so that no second server can take its port, while a
// quick restart of ours still binds where the platform allows that.
void prepareListeningSocket(boost::asio::ip::tcp::acceptor& acceptor,
                            boost::system::error_code& error);

}  // namespace tavik::phone
