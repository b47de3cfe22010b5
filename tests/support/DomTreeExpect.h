// Two editor document trees compared node by node; `where` names the path of a difference.
#pragma once
#include "htmledit/SourceWriter.h"
#include <gtest/gtest.h>
#include <string>

inline void expectSameTree(const htmledit::DomNode &a, const htmledit::DomNode &b, const std::string &where)
{
    EXPECT_EQ(a.type, b.type) << where;
    EXPECT_EQ(a.name, b.name) << where;
    EXPECT_EQ(a.data, b.data) << where;
    ASSERT_EQ(a.attrs.size(), b.attrs.size()) << where;
    for (int i = 0; i < a.attrs.size(); ++i) {
        EXPECT_EQ(a.attrs[i].name, b.attrs[i].name) << where;
        EXPECT_EQ(a.attrs[i].value, b.attrs[i].value) << where;
        EXPECT_EQ(a.attrs[i].absolute, b.attrs[i].absolute) << where;
    }
    ASSERT_EQ(a.children.size(), b.children.size()) << where;
    for (int i = 0; i < a.children.size(); ++i) expectSameTree(a.children[i], b.children[i], where + "/" + std::to_string(i));
}
