#pragma once
// The objects server OBJECT tags declare (in global.asa or a page). Each run of a page puts
// the names of its tags into the StaticObjects their scope selects — the session's for
// SCOPE=Session, the application's otherwise — with the class text (PROGID, else CLASSID) as
// the value, unless the name is there already. The object is made when a script first uses
// the name: on the host's main thread, like every object pages share between threads, and
// handed out as a proxy that carries each call to that thread; it then replaces the class text
// so it is made once.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/com_ptr.h"
#include "wendrel/asp/preprocessor.h"

class CQuavDictionary;

/// The tags' names, without repeats (ignoring case): the named items a page's engine needs.
std::vector<std::u16string> DeclaredNames(std::span<const ServerObjectTag> tags);

/// Puts the tags' names into `application` or `session` (null: the page has no session, and
/// session tags are left out).
void DeclareObjects(std::span<const ServerObjectTag> tags, CQuavDictionary& application,
                    CQuavDictionary* session);

/// The object `name` stands for in `objects`: the object stored there, or the object made from
/// the class text stored there. Null when the name is not there or the object cannot be made.
ComPtr<IDispatch> DeclaredObject(CQuavDictionary& objects, std::u16string_view name);
