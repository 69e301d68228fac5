#include "protocol/OrvalenCurl.h"

namespace Orvalen {

void setTransferOptions(CURL* curl, const std::string& url, int32_t connectTimeoutSeconds,
                        const OrvalenTlsOptions& tls) {
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(connectTimeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 15L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 30L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    // The HTTP status checks below mean nothing for other schemes (file://).
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    if (tls.skipCertificateCheck) {
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    } else {
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!tls.caBundleFile.empty()) {
            curl_easy_setopt(curl, CURLOPT_CAINFO, tls.caBundleFile.c_str());
        }
    }
}

long responseCode(CURL* curl) {
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    return code;
}

}  // namespace Orvalen
