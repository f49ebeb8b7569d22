#pragma once
// CVirtDir: an entry of Server.VirtualDirs — the virtual directory ("/docs/") as its key and the
// folder it is served from as its value.

#include <span>
#include <string>

#include "platform/com/dispatch_object.h"
#include "wendrel/asp/collection.h"
#include "wendrel/asp/collection_entry.h"

class CVirtDir : public DispatchObject<CVirtDir>, public CollectionEntry {
 public:
  CVirtDir(std::string_view virtual_dir, std::string_view real_dir)
      : virtual_dir_(virtual_dir), real_dir_(real_dir) {}

  static std::span<const DispatchMember<CVirtDir>> Members();
  std::u16string_view TypeName() override { return u"CVirtDir"; }

  /// The factory of the VirtualDirs collection.
  static CollectionEntryHandle Make(std::string_view virtual_dir,
                                    std::optional<std::string_view> real_dir);
  /// "docs", "/docs" and "docs/" all name the virtual directory "/docs/".
  static std::string NormalisedName(std::string_view name);

  IDispatch* EntryDispatch() override { return this; }
  std::string EntryKey() const override { return virtual_dir_; }
  std::string EntryValue() const override { return real_dir_; }
  void AppendEntryValue(std::string_view) override {}

  void SetRealDir(std::string_view real_dir) {
    real_dir_ = real_dir;
    NoteCollectionValueChanged();
  }

  Result<Variant> GetValue(const DispatchArguments& arguments);
  Result<Variant> PutValue(const DispatchArguments& arguments);
  Result<Variant> GetKey(const DispatchArguments& arguments);

 private:
  std::string virtual_dir_;
  std::string real_dir_;
};
