#pragma once
// The programming board this build drives. Classes that act on it take it as a
// constructor argument, so tests exercise both links in one build.
namespace px316t {

enum class LinkKind { USB, LPT };

#ifdef PX316T_LINK_KIND_LPT
constexpr LinkKind BuildLinkKind = LinkKind::LPT;
#else
constexpr LinkKind BuildLinkKind = LinkKind::USB;
#endif

} // namespace px316t
