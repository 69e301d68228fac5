#pragma once

#include <cstdint>
#include <string>

namespace Orvalen {

// Response envelope: {"code":...,"msg":...,"sign":...,"timestamp":...,"data":...}.
class OrvalenBSRecivedPackage {
public:
    // Fills the fields from a response text. Members that are missing, null or
    // of another JSON type keep their field as it was. False, with one log
    // line, when the text is missing or not a JSON object.
    bool parseReceive(const char* text);

    int32_t code = 0;
    std::string msg;
    std::string sign;
    int64_t timestamp = 0;
    // Compact JSON text of the data member: "null" for JSON null, a string
    // with its double quotes.
    std::string data;
};

}  // namespace Orvalen
