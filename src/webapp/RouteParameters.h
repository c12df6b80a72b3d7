#pragma once

#include <string>
#include <string_view>

namespace webapp {

struct RequestContext;

/// The request parameter `name`; empty when absent.
std::string parameter(const RequestContext& context, const std::string& name);
/// The parameter read as C `atoi` does (leading blanks, a sign, the digits
/// that follow; 0 when there are none), saturated at the int range instead
/// of overflowing.
int integerParameter(const RequestContext& context, const std::string& name);
/// The parameter read as C `atof` does (0 when it is not a number).
double realParameter(const RequestContext& context, const std::string& name);

/// Makes `text` the body of the context's response and sends it.
void sendText(RequestContext& context, std::string text);

/// How far the current track has played: `positionMs` / (`lengthSeconds` ×
/// 1000) in the default stream format ("0.25", six significant digits).
/// "0" when the player knows no length (0 or -1), where the quotient means
/// nothing.
std::string positionFraction(long positionMs, long lengthSeconds);

/// `bytes` for the inside of a CDATA section of a UTF-8 document: made
/// valid XML text (xmlCharacters), then every "]]>" is split across two
/// sections, so no text can end the section early.
std::string cdataText(std::string_view bytes);

} // namespace webapp
