#include "settings/key_mapper.h"

#include <cctype>

namespace settings_impl {

std::string lowerBytes(const std::string& text) {
    std::string lowered = text;
    for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lowered;
}

IKeyMapper::Result SimpleKeyMapper::map(const std::string& key) const {
    if (key == from_) return {to_, true};
    if (!exact_ && lowerBytes(key) == lowerBytes(from_)) return {to_, true};
    return {key, false};
}

std::string KeyMapper::map(const std::string& key) const {
    std::string current = key;
    for (auto it = mappers_.rbegin(); it != mappers_.rend(); ++it) {
        IKeyMapper::Result result = (*it)->map(current);
        current = std::move(result.key);
        if (result.matched) break;
    }
    return current;
}

void KeyMapperBuilder::map(const std::string& from, const std::string& to, bool exact) {
    factories_.push_back(std::make_unique<KeyMapperFactory<SimpleKeyMapper>>(from, to, exact));
}

std::unique_ptr<KeyMapper> KeyMapperBuilder::createKeyMapper() const {
    std::vector<std::unique_ptr<IKeyMapper>> mappers;
    mappers.reserve(factories_.size());
    for (const auto& factory : factories_) mappers.push_back(factory->create());
    return std::make_unique<KeyMapper>(std::move(mappers));
}

}  // namespace settings_impl
