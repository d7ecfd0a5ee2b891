#pragma once
// The eleven UI languages of the launchers' dialogs, pages and package
// transforms, and the choice of one from the user's preferred UI languages.

#include <cstdint>
#include <string>
#include <vector>

struct LocaleInfo {
    uint16_t langId;
    const char* name;
    const char* langCode;  // null: the name serves as language code
    // LANGIDs or primary language ids that select the locale; 0 ends early.
    uint16_t matchIds[4];
};

class Locale {
public:
    class LocaleObserver {
    public:
        virtual ~LocaleObserver() = default;
        // Answers true to be handed the next locale, false to stop.
        virtual bool operator()(const Locale& locale) = 0;
    };

    static Locale english();
    static Locale chineseSimplified();
    static Locale japanese();
    static Locale chineseTraditional();
    static Locale german();
    static Locale spanish();
    static Locale french();
    static Locale italian();
    static Locale korean();
    static Locale portugueseBrazil();
    static Locale swedish();

    uint16_t getLangId() const { return info_->langId; }
    std::string getName() const { return info_->name; }
    // The language-code override when there is one ("zh" for zh_CN), else the name.
    std::string getLangCode() const { return info_->langCode ? info_->langCode : info_->name; }
    // True when id is one of the locale's match ids.
    bool matches(uint16_t id) const;

    // Hands each supported locale in order to the observer until it answers false.
    static void enumerateSupported(LocaleObserver& observer);
    // The locale whose own LANGID is exactly langId. Throws
    // TdsError<std::runtime_error> "unsupported locale langId: <id>" otherwise.
    static Locale fromLangId(uint16_t langId);
    // True when some locale lists id among its match ids; the first such
    // locale goes to out (out untouched otherwise).
    static bool isSupported(uint16_t id, Locale& out);

    // The user's preferred UI LANGIDs, in order. Throws TdsError<SysError>
    // when the system cannot list them and TdsError<std::runtime_error>
    // "Cannot get langID: <text>" for an id it cannot read.
    static std::vector<uint16_t> preferredLanguages();
    // The first supported locale of preferred; English when none is.
    static Locale getPreferred(const std::vector<uint16_t>& preferred);
    // getPreferred of preferredLanguages(); English (logged) when the list
    // cannot be read.
    static Locale getPreferred();

    friend bool operator==(const Locale& a, const Locale& b) { return a.info_ == b.info_; }
    friend bool operator!=(const Locale& a, const Locale& b) { return a.info_ != b.info_; }

private:
    explicit Locale(const LocaleInfo* info) : info_(info) {}
    const LocaleInfo* info_;
};

// The name of the preferred locale, worked out on first use and kept for the
// life of the process.
const std::string& preferredLocaleName();
