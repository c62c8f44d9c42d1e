#pragma once

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <vector>

#include "platform/filesystem.h"
#include "platform/runtimeerror.h"

namespace vantelo::test {

// An in-memory file system in which any failure can be planted, so that the
// permission paths are testable as root. Folders are paths ending in "/";
// a folder lists its entries in the order they were added.
class FakeFileSystem final : public FileSystem {
public:
    struct Node {
        QString path;
        int attributes;
        bool root = false;
        bool openable = true;
        int listError = 0;       // raised by a listing or search of the folder
        int listErrorAfter = 0;  // sub-folders visited before it
    };

    // Each spec is "path", "path|attributes" or "path|attributes|root".
    explicit FakeFileSystem(const QStringList& specs = {}) {
        for (const QString& spec : specs) {
            const QStringList p = spec.split('|');
            const int fallback = p.at(0).endsWith('/') ? AttrDirectory : AttrArchive;
            nodes.push_back({p.at(0), p.size() > 1 ? p.at(1).toInt() : fallback, p.size() > 2});
        }
    }
    Node* find(const QString& path) {
        for (Node& n : nodes) {
            if (n.path == path || n.path == path + '/')
                return &n;
        }
        return nullptr;
    }
    void remove(const QString& path) {
        nodes.erase(std::remove_if(nodes.begin(), nodes.end(),
                                   [&](const Node& n) { return n.path.startsWith(path); }),
                    nodes.end());
    }

    std::vector<Node> nodes;
    // Runs as every call begins, so a test can change the tree mid-walk.
    std::function<void(const QString& call, const QString& path)> before;

    int attributes(const QString& path) override { return node("attributes", path).attributes; }
    bool isRootFolder(const QString& path) override { return node("isRootFolder", path).root; }
    void readFolder(const QString& folder, const QString& pattern,
                    FolderVisitor& visitor) override {
        const Node listed = node("readFolder", folder);
        if (!visitor.enter(0, qHash(listed.path)))
            return;
        const QStringList names = children(folder, true);
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (listed.listError != 0 && i == listed.listErrorAfter)
                throw RuntimeError(listed.listError);
            visitor.subFolder(names.at(i));
        }
        if (listed.listError != 0)
            throw RuntimeError(listed.listError);
        for (const QString& name : matching(folder, pattern)) {
            if (canOpen(folder + name))
                visitor.file(name, attributes(folder + name));
        }
    }
    QStringList findFiles(const QString& folder, const QString& pattern) override {
        if (const int error = node("findFiles", folder).listError)
            throw RuntimeError(error);
        return matching(folder, pattern);
    }
    bool canOpen(const QString& path) override {
        const Node* n = call("canOpen", path);
        return n != nullptr && !n->path.endsWith('/') && n->openable;
    }
    bool exists(const QString& path) override { return call("exists", path) != nullptr; }

private:
    Node* call(const char* name, const QString& path) {
        if (before)
            before(QString::fromLatin1(name), path);
        return find(path);
    }
    Node node(const char* name, const QString& path) {
        const Node* n = call(name, path);
        if (n == nullptr)
            throw RuntimeError(ErrPathNotFound);
        return *n;
    }
    QStringList matching(const QString& folder, const QString& pattern) const {
        return children(folder, false)
            .filter(QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern),
                                       QRegularExpression::CaseInsensitiveOption));
    }
    QStringList children(const QString& folder, bool folders) const {
        QStringList names;
        for (const Node& n : nodes) {
            QString rest = n.path.mid(folder.size());
            if (!n.path.startsWith(folder) || rest.isEmpty() || rest.endsWith('/') != folders)
                continue;
            if (folders)
                rest.chop(1);
            if (!rest.contains('/'))
                names << rest;
        }
        return names;
    }
};

}  // namespace vantelo::test
