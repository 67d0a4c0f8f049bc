#pragma once
#include "character/Character.h"

// Hands a freshly built object to a layer and places it. A missing layer (a half-wired play
// state) or a refused attachment drops the object instead of leaking it; the result is null then.
template <class T>
T* AttachAt(Character* tree, T* object, Fixed16 x, Fixed16 y) {
    if (tree == nullptr) {
        delete object;
        return nullptr;
    }
    tree->AddChildren(object);
    if (object->GetParent() != tree) {
        delete object;
        return nullptr;
    }
    object->SetPosition(x, y);
    return object;
}

// 32-bit wrapping arithmetic, for the few products that may leave the int32 range the way the
// original's did, without undefined behaviour.
inline std::int32_t WrapMul(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}
inline std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
inline std::int32_t WrapSub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
