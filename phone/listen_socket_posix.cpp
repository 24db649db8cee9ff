// SPDX-License-Identifier: MIT
#include "listen_socket.hpp"

namespace tavik::phone {

// SO_REUSEADDR lets a restart bind past the old server's connections in TIME_WAIT, yet refuses
// a port another socket listens on; SO_REUSEPORT, which would share it, stays off.
void prepareListeningSocket(boost::asio::ip::tcp::acceptor& acceptor,
                            boost::system::error_code& error) {
    acceptor.set_option(boost::asio::socket_base::reuse_address(true), error);
}

}  // namespace tavik::phone
