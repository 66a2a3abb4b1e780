#pragma once

// Faulty answers a TestServer handler can give, built on cpp-httplib's content providers.
#include <httplib.h>

#include <string>

namespace lectoria::testing_support {

// Announces `announced` bytes, sends the first `sent` bytes of `body`, then drops the connection
// if that is fewer than announced (and leaves the surplus on the wire if it is more).
inline void ServeCut(httplib::Response& response, std::string body, size_t announced, size_t sent) {
    response.set_content_provider(announced, "application/pdf",
                                  [body = std::move(body), sent](size_t offset, size_t, httplib::DataSink& sink) {
                                      if (offset >= sent)
                                          return false;
                                      sink.write(body.data() + offset, sent - offset);
                                      return true;
                                  });
}

} // namespace lectoria::testing_support
