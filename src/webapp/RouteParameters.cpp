#include "webapp/RouteParameters.h"

#include "message/Response.h"
#include "text/Decimal.h"
#include "webapp/RequestContext.h"
#include "webapp/XmlText.h"

#include <cstdlib>
#include <sstream>

namespace webapp {

std::string parameter(const RequestContext& context, const std::string& name)
{
    auto found = context.params.find(name);
    return found == context.params.end() ? std::string() : found->second;
}

int integerParameter(const RequestContext& context, const std::string& name)
{
    return text::atoiLike(parameter(context, name));
}

double realParameter(const RequestContext& context, const std::string& name)
{
    return std::strtod(parameter(context, name).c_str(), nullptr);
}

void sendText(RequestContext& context, std::string text)
{
    context.response.setBody(std::move(text));
    context.response.send();
}

std::string positionFraction(long positionMs, long lengthSeconds)
{
    if (lengthSeconds <= 0)
        return "0";
    std::ostringstream text;
    text << static_cast<double>(positionMs) / (static_cast<double>(lengthSeconds) * 1000.0);
    return text.str();
}

std::string cdataText(std::string_view bytes)
{
    const std::string clean = xmlCharacters(bytes);
    const std::string_view text = clean;
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t end; (end = text.find("]]>", from)) != std::string_view::npos; from = end + 3) {
        out.append(text.substr(from, end - from));
        out.append("]]]]><![CDATA[>");
    }
    out.append(text.substr(from));
    return out;
}

} // namespace webapp
