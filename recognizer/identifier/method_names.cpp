// The methods' names and what each does, for command lines and hosts.
#include "morlin/identifier.h"

namespace morlin {

namespace {

struct MethodText {
    Method method;
    const char* name;
    const char* description;
};

constexpr MethodText methodTexts[] = {
    {Method::Designed, "designed",
     "the designed recognizer: equalized pixels, (K)PCA with the chosen kernel, components and "
     "distance measure; a face's score is its distance to the nearest enrolled image"},
    {Method::Discriminant, "discriminant",
     "equalized pixels, (K)PCA keeping every informative component, then a linear discriminant "
     "stage learnt from who is who; a face's score is its distance to the nearest person over "
     "its distance to the next person"},
    {Method::LbpDiscriminant, "lbp-discriminant",
     "local binary pattern histograms (a texture code that changes of light leave alone), "
     "(K)PCA keeping every informative component and a linear discriminant stage; scored as "
     "discriminant. The default: the best at naming people and turning strangers away"},
};

}  // namespace

std::string MethodName(Method method) {
    for (const MethodText& text : methodTexts)
        if (text.method == method) return text.name;
    return "unknown";
}

std::optional<Method> MethodNamed(const std::string& name) {
    for (const MethodText& text : methodTexts)
        if (name == text.name) return text.method;
    return std::nullopt;
}

std::string MethodDescription(Method method) {
    for (const MethodText& text : methodTexts)
        if (text.method == method) return text.description;
    return "";
}

}  // namespace morlin
