// SPDX-License-Identifier: MIT
#include <winsock2.h>

#include "listen_socket.hpp"

namespace tavik::phone {

// On Windows SO_REUSEADDR would let a second server take the port; SO_EXCLUSIVEADDRUSE keeps
// it ours alone.
void prepareListeningSocket(boost::asio::ip::tcp::acceptor& acceptor,
                            boost::system::error_code& error) {
    using Exclusive = boost::asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>;
    acceptor.set_option(boost::asio::socket_base::reuse_address(false), error);
    if (!error) {
        acceptor.set_option(Exclusive(true), error);
    }
}

}  // namespace tavik::phone
