#pragma once

// The GDI objects that a module creates and deletes, followed through its import table.
// Wine's GetGuiResources counts nothing (it returns 0 for every process), and a count of
// the whole process would mix in the objects that the system's own windows and dialogs keep.

#include <windows.h>

#include <set>
#include <string>

namespace morvith::testing {

class GdiTally {
public:
    // Loads the module (the host that loads it next gets the same one) and redirects its
    // gdi32 imports; throws std::runtime_error if it imports a gdi32 function that the
    // tally cannot follow. One tally at a time.
    explicit GdiTally(const std::string& module_path);
    // Puts the imports back and drops the tally's reference to the module.
    ~GdiTally();
    GdiTally(const GdiTally&) = delete;
    GdiTally& operator=(const GdiTally&) = delete;

    // Objects created through the module and not deleted since.
    int live() const { return static_cast<int>(live_.size()); }
    bool IsLive(HGDIOBJ object) const { return live_.count(object) == 1; }
    int created() const { return created_; }
    // DeleteObject calls on a handle that is not one of the live objects of the module
    // (deleted twice, or never its own); null handles are not counted.
    int foreign_deletions() const { return foreign_deletions_; }

    // Called by the redirected imports.
    void Created(HGDIOBJ object);
    void Deleting(HGDIOBJ object);

private:
    void RedirectImports();

    struct Redirect {
        void** slot;
        void* original;
    };

    HMODULE module_ = nullptr;
    std::set<HGDIOBJ> live_;
    int created_ = 0;
    int foreign_deletions_ = 0;
    Redirect redirects_[8] = {};
    int redirect_count_ = 0;
};

}  // namespace morvith::testing
