// The component ground: an owner destroys what it owns, and keeps it in
// creation order (the engine scans that order to restore and close sprites).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace framework {

class TObject {
 public:
  virtual ~TObject() = default;
  // The class's own name, compared as a string by callers that must not match subclasses.
  virtual std::string ClassName() const { return "TObject"; }
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  std::string ClassName() const override { return "TComponent"; }
  TComponent* Owner() const { return FOwner; }
  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int index) const { return FComponents.at(static_cast<size_t>(index)); }
  // Destroys every owned component, last created first.
  void DestroyComponents();
  // The owned component of that name (matched without regard to case), or null.
  TComponent* FindComponent(const std::string& name) const;

  std::string Name;

 private:
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  TComponent* FOwner = nullptr;
  std::vector<TComponent*> FComponents;
  bool FDestroying = false;
};

}  // namespace framework
