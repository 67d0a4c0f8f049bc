#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "character/Character.h"

namespace {
// Records every Act in a shared journal and can be told to spawn or die during its step.
struct Probe : Character {
    Probe(std::vector<std::string>* journal, std::string name, int* deaths = nullptr)
        : Character(nullptr, nullptr), journal(journal), name(std::move(name)), deaths(deaths) {}
    ~Probe() override {
        if (deaths) ++*deaths;
    }
    void Act() override {
        journal->push_back(name);
        if (spawnBrother) {
            spawnBrother = false;
            AddBrother(new Probe(journal, name + "+", deaths));
        }
        if (dieInAct) alive = false;
    }
    std::vector<std::string>* journal;
    std::string name;
    int* deaths;
    bool spawnBrother = false;
    bool dieInAct = false;
};
}  // namespace

TEST(CharacterTree, ParentBeforeChildrenOlderBeforeYounger) {
    std::vector<std::string> j;
    Probe root(&j, "root");
    auto* a = new Probe(&j, "a");
    root.AddChildren(a);
    a->AddChildren(new Probe(&j, "a1"));
    root.AddChildren(new Probe(&j, "b"));
    root.UpdateTree();
    EXPECT_EQ(j, (std::vector<std::string>{"root", "a", "a1", "b"}));
    EXPECT_EQ(a->GetParent(), &root);
}

TEST(CharacterTree, BrotherAppendedDuringWalkActsInSameWalk) {
    std::vector<std::string> j;
    Probe root(&j, "root");
    auto* a = new Probe(&j, "a");
    a->spawnBrother = true;
    root.AddChildren(a);
    root.AddChildren(new Probe(&j, "b"));
    root.UpdateTree();
    EXPECT_EQ(j, (std::vector<std::string>{"root", "a", "b", "a+"}));
}

TEST(CharacterTree, DyingChildStillUpdatesItsChildrenThenIsDeletedWithThem) {
    std::vector<std::string> j;
    int deaths = 0;
    Probe root(&j, "root");
    auto* a = new Probe(&j, "a", &deaths);
    a->dieInAct = true;
    a->AddChildren(new Probe(&j, "a1", &deaths));
    root.AddChildren(a);
    root.UpdateTree();
    EXPECT_EQ(j, (std::vector<std::string>{"root", "a", "a1"}));
    EXPECT_EQ(deaths, 2);
    EXPECT_TRUE(root.GetChildren().empty());
}

TEST(CharacterTree, KillChildrenLetsEachActOnceMore) {
    std::vector<std::string> j;
    int deaths = 0;
    Probe root(&j, "root");
    root.AddChildren(new Probe(&j, "a", &deaths));
    root.AddChildren(new Probe(&j, "b", &deaths));
    root.KillChildren();
    root.UpdateTree();
    EXPECT_EQ(j, (std::vector<std::string>{"root", "a", "b"}));
    EXPECT_EQ(deaths, 2);
    EXPECT_TRUE(root.GetChildren().empty());
}

TEST(CharacterTree, RefusedAttachmentsNeitherStealNorLeak) {
    std::vector<std::string> j;
    int deaths = 0;
    Probe first(&j, "first"), second(&j, "second");
    auto* child = new Probe(&j, "child", &deaths);
    first.AddChildren(child);
    second.AddChildren(child);  // already in a tree: refused, left where it is
    second.AddChildren(nullptr);
    EXPECT_EQ(child->GetParent(), &first);
    EXPECT_TRUE(second.GetChildren().empty());
    EXPECT_EQ(deaths, 0);

    Probe orphan(&j, "orphan");
    orphan.AddBrother(new Probe(&j, "lost", &deaths));  // no parent: the object is deleted
    EXPECT_EQ(deaths, 1);
    first.ClearChildren();
    EXPECT_EQ(deaths, 2);
}
