#pragma once
// A non-owning reference to a callable: two words, one indirect call, no allocation.
#include <type_traits>
#include <utility>

namespace lv::poly {

template <class Signature> class FunctionRef;

// Binds a plain function pointer, a captureless lambda, or an lvalue callable that must outlive
// every call. Binding a temporary callable with state is refused at compile time, because the
// reference would dangle: name the lambda first, then bind the name.
template <class R, class... Args> class FunctionRef<R(Args...)> {
public:
    using Pointer = R (*)(Args...);

    FunctionRef() noexcept = default;

    FunctionRef(Pointer function) noexcept {
        if (function) {
            storage_.function = function;
            thunk_ = &callPointer;
        }
    }

    template <class F>
        requires(!std::is_same_v<std::remove_cvref_t<F>, FunctionRef> &&
                 std::is_lvalue_reference_v<F> && std::is_invocable_r_v<R, F, Args...> &&
                 !std::is_convertible_v<F, Pointer>)
    FunctionRef(F&& callable) noexcept {
        storage_.object = static_cast<const void*>(std::addressof(callable));
        thunk_ = &callObject<std::remove_reference_t<F>>;
    }

    // Stateless temporaries decay to a function pointer, which cannot dangle.
    template <class F>
        requires(!std::is_same_v<std::remove_cvref_t<F>, FunctionRef> &&
                 std::is_convertible_v<F, Pointer>)
    FunctionRef(F&& callable) noexcept : FunctionRef(static_cast<Pointer>(callable)) {}

    template <class F>
        requires(!std::is_same_v<std::remove_cvref_t<F>, FunctionRef> &&
                 !std::is_lvalue_reference_v<F> && !std::is_convertible_v<F, Pointer> &&
                 std::is_invocable_r_v<R, F, Args...>)
    FunctionRef(F&& callable) = delete;

    explicit operator bool() const noexcept { return thunk_ != nullptr; }

    R operator()(Args... args) const { return thunk_(storage_, std::forward<Args>(args)...); }

private:
    union Storage {
        const void* object;
        Pointer function;
    };

    static R callPointer(Storage s, Args... args) {
        return s.function(std::forward<Args>(args)...);
    }

    template <class F> static R callObject(Storage s, Args... args) {
        auto* f = static_cast<F*>(const_cast<void*>(s.object));
        return static_cast<R>((*f)(std::forward<Args>(args)...));
    }

    Storage storage_{nullptr};
    R (*thunk_)(Storage, Args...) = nullptr;
};

} // namespace lv::poly
