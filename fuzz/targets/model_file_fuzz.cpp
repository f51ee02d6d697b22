// The identifier's model file, every check but the checksum (which would turn
// nearly every mutation away before the reader sees it): anything damaged
// is refused with morlin::Error, and what loads identifies without fault.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "identifier/model_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const FaceModel model = ModelFromBytes(
            std::string_view(reinterpret_cast<const char*>(data), size), "fuzz", false);
        // A face of the model's size, mid-grey, identified among the enrolled.
        const size_t pixels =
            static_cast<size_t>(model.Rows()) * static_cast<size_t>(model.Columns());
        if (pixels > (1u << 20)) return 0;
        const std::vector<uint8_t> face(pixels, 128);
        std::vector<float> signature(static_cast<size_t>(model.Dimensions()));
        model.Signature(face.data(), signature.data(), nullptr);
        model.Identify(signature.data(), 3);
        ModelBytes(model);
    } catch (const morlin::Error&) {
    }
    return 0;
}
