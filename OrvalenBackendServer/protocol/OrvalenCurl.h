#pragma once

// What every libcurl transfer of the backend client shares.

#include <curl/curl.h>

#include <cstdint>
#include <memory>
#include <string>

namespace Orvalen {

// How the server's certificate is checked. Certificate and host name are
// verified unless skipping is asked for; an empty CA bundle file means the
// system's bundle.
struct OrvalenTlsOptions {
    bool skipCertificateCheck = false;
    std::string caBundleFile;
};

struct CurlEasyDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

// Address, connect timeout, abort below 30 bytes/s for 15 s, no signals,
// verbose trace, HTTP and HTTPS only, certificate checks.
void setTransferOptions(CURL* curl, const std::string& url, int32_t connectTimeoutSeconds,
                        const OrvalenTlsOptions& tls);

// The HTTP status of the last response, 0 when none was received.
long responseCode(CURL* curl);

}  // namespace Orvalen
