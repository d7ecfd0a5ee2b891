#pragma once
// Key mappers rename keys while a text is imported, mainly to give each key
// one canonical spelling whatever letter case the user wrote.

#include <memory>
#include <string>
#include <vector>

namespace settings_impl {

// What a key mapper and a key-mapper builder have in common: a list of owned
// objects deleted with the list. One destroy function serves both.
class KeyMapperList {
public:
    virtual ~KeyMapperList() = default;
};

class IKeyMapper {
public:
    struct Result {
        std::string key;
        bool matched;
    };
    virtual ~IKeyMapper() = default;
    // {to key, true} when the key matches, else {the key, false}.
    virtual Result map(const std::string& key) const = 0;
};

// Maps one key: byte for byte, or also after lowering both texts byte by byte
// unless exact is set.
class SimpleKeyMapper : public IKeyMapper {
public:
    SimpleKeyMapper(const std::string& from, const std::string& to, bool exact)
        : from_(from), to_(to), exact_(exact) {}
    Result map(const std::string& key) const override;

private:
    std::string from_;
    std::string to_;
    bool exact_;
};

// The mappers of one import, asked from the last registered to the first.
class KeyMapper : public KeyMapperList {
public:
    explicit KeyMapper(std::vector<std::unique_ptr<IKeyMapper>> mappers)
        : mappers_(std::move(mappers)) {}
    // The to key of the last-registered mapping that matches, else the key as
    // given. A mapped key is not mapped again.
    std::string map(const std::string& key) const;

private:
    std::vector<std::unique_ptr<IKeyMapper>> mappers_;
};

class KeyMapperBuilder : public KeyMapperList {
public:
    class IKeyMapperFactory {
    public:
        virtual ~IKeyMapperFactory() = default;
        virtual std::unique_ptr<IKeyMapper> create() const = 0;
    };

    // Appends a mapping; nothing is checked or merged.
    void map(const std::string& from, const std::string& to, bool exact);
    // A new mapper with one mapper per registered mapping, in order. The
    // builder is unchanged; memory exhaustion passes out with nothing leaked.
    std::unique_ptr<KeyMapper> createKeyMapper() const;

private:
    std::vector<std::unique_ptr<IKeyMapperFactory>> factories_;
};

template <class Mapper>
class KeyMapperFactory : public KeyMapperBuilder::IKeyMapperFactory {
public:
    KeyMapperFactory(const std::string& from, const std::string& to, bool exact)
        : from_(from), to_(to), exact_(exact) {}
    std::unique_ptr<IKeyMapper> create() const override {
        return std::make_unique<Mapper>(from_, to_, exact_);
    }

private:
    std::string from_;
    std::string to_;
    bool exact_;
};

// Byte-wise lowering by the runtime library's single-byte tolower.
std::string lowerBytes(const std::string& text);

}  // namespace settings_impl
