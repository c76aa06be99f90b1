// A value built on first use and never destroyed: for what threads still use while the process
// ends, which a static destructor would pull away from under them.
#pragma once

#include <cstddef>
#include <new>
#include <utility>

namespace tarnwick {

template <typename T>
class NeverDestroyed {
  public:
    template <typename... Args>
    explicit NeverDestroyed(Args&&... args) {
        ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
    }
    NeverDestroyed(const NeverDestroyed&) = delete;
    NeverDestroyed& operator=(const NeverDestroyed&) = delete;

    T& Get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

  private:
    alignas(T) std::byte storage_[sizeof(T)];
};

}  // namespace tarnwick
