// Objects that one thread at a time may use (a detector that keeps the
// picture it scans, say), lent out so that several threads can each have
// their own: a thread takes one, made when none is free, and gives it back
// when its lease ends. The pool keeps what was made for the next caller.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

template <typename T>
class ObjectPool {
public:
    // make builds one more object; what it throws reaches Take's caller.
    explicit ObjectPool(std::function<std::unique_ptr<T>()> maker) : make(std::move(maker)) {}
    ObjectPool(const ObjectPool&) = delete;
    ObjectPool& operator=(const ObjectPool&) = delete;

    // One object for the holder alone, back in the pool when the lease ends.
    class Lease {
    public:
        Lease(ObjectPool& owner, std::unique_ptr<T> lent) : pool(&owner), object(std::move(lent)) {}
        Lease(Lease&& other) noexcept = default;
        Lease& operator=(Lease&&) = delete;
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        ~Lease() {
            if (object) pool->GiveBack(std::move(object));
        }
        T& operator*() const { return *object; }
        T* operator->() const { return object.get(); }

    private:
        ObjectPool* pool;
        std::unique_ptr<T> object;
    };

    Lease Take() {
        {
            std::lock_guard<std::mutex> held(lock);
            if (!free.empty()) {
                std::unique_ptr<T> object = std::move(free.back());
                free.pop_back();
                return Lease(*this, std::move(object));
            }
        }
        return Lease(*this, make());
    }

private:
    void GiveBack(std::unique_ptr<T> object) noexcept {
        std::lock_guard<std::mutex> held(lock);
        try {
            free.push_back(std::move(object));
        } catch (...) {
            // No room to keep it: it is simply freed, and made again when needed.
        }
    }

    std::function<std::unique_ptr<T>()> make;
    std::mutex lock;
    std::vector<std::unique_ptr<T>> free;
};
