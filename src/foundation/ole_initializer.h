#pragma once
// OLE for the calling thread (a single-threaded apartment) for the lifetime
// of one object.

class OleInitializer {
public:
    // A failure is only logged (WARNING); the object then does nothing.
    OleInitializer();
    ~OleInitializer();
    OleInitializer(const OleInitializer&) = delete;
    OleInitializer& operator=(const OleInitializer&) = delete;

    bool initialized() const { return initialized_; }

private:
    bool initialized_ = false;
};
