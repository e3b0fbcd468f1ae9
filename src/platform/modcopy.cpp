#include "modcopy.h"

#include <QFile>

#include <filesystem>
#include <system_error>
#include <vector>

using tandrel::displayPath;
using tandrel::Status;
namespace fs = std::filesystem;

namespace modCopy {

namespace {

fs::path toPath(const QString& path) {
    return fs::path(QFile::encodeName(path).toStdString());
}
QString fromPath(const fs::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

QString reason(const std::error_code& error) {
    if (error == std::errc::no_space_on_device)
        return QStringLiteral("there is no space left on the disk");
    return QString::fromLocal8Bit(error.message());
}

Status linkFound(const fs::path& link) {
    return Status::failure(
        QStringLiteral("\"%1\" is a link; links are not copied into a funnel, replace it with "
                       "the file or folder itself.")
            .arg(displayPath(fromPath(link))));
}

Status failedOn(const QString& what, const fs::path& path, const std::error_code& error) {
    return Status::failure(
        QStringLiteral("%1 \"%2\": %3.").arg(what, displayPath(fromPath(path)), reason(error)));
}

Status copyFile(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::copy_file(from, to, fs::copy_options::none, error);
    if (error)
        return Status::failure(
            QStringLiteral("The file \"%1\" could not be copied to \"%2\": %3.")
                .arg(displayPath(fromPath(from)), displayPath(fromPath(to)), reason(error)));
    return Status::success();
}

// The entries of a folder, read whole with error codes: a range-for over a
// directory_iterator would throw on a failed step.
Status listFolder(const fs::path& folder, std::vector<fs::directory_entry>& entries) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (const fs::directory_iterator end; !error && it != end; it.increment(error))
        entries.push_back(*it);
    if (error)
        return failedOn(QStringLiteral("The folder could not be read:"), folder, error);
    return Status::success();
}

Status mergeInto(const fs::path& source, const fs::path& destination) {
    std::error_code error;
    const fs::file_status there = fs::symlink_status(destination, error);
    if (fs::is_symlink(there))
        return linkFound(destination);
    if (!fs::exists(there)) {
        if (!fs::create_directory(destination, error) && error)
            return failedOn(QStringLiteral("The folder could not be created:"), destination, error);
    } else if (!fs::is_directory(there)) {
        return Status::failure(
            QStringLiteral("\"%1\" is a file where the template folder has a folder.")
                .arg(displayPath(fromPath(destination))));
    }
    std::vector<fs::directory_entry> entries;
    if (Status listed = listFolder(source, entries); !listed)
        return listed;
    for (const fs::directory_entry& entry : entries) {
        const fs::file_status status = entry.symlink_status(error);
        const fs::path target = destination / entry.path().filename();
        if (fs::is_symlink(status))
            return linkFound(entry.path());
        if (fs::is_directory(status)) {
            if (Status s = mergeInto(entry.path(), target); !s)
                return s;
            continue;
        }
        const fs::file_status old = fs::symlink_status(target, error);
        if (fs::is_symlink(old))
            return linkFound(target);
        if (fs::is_directory(old))
            return Status::failure(
                QStringLiteral("\"%1\" is a folder where the template folder has a file.")
                    .arg(displayPath(fromPath(target))));
        // Removed first, so a hard-linked file is replaced, never written into.
        if (fs::exists(old) && !fs::remove(target, error))
            return failedOn(QStringLiteral("The file could not be replaced:"), target, error);
        if (Status s = copyFile(entry.path(), target); !s)
            return s;
    }
    return Status::success();
}

Status mirror(const fs::path& source, const fs::path& destination,
              const std::function<bool(const QString&, bool)>* keepTopLevel) {
    std::error_code error;
    if (!fs::create_directory(destination, error))
        return failedOn(QStringLiteral("The folder could not be created:"), destination, error);
    std::vector<fs::directory_entry> entries;
    if (Status listed = listFolder(source, entries); !listed)
        return listed;
    for (const fs::directory_entry& entry : entries) {
        const fs::file_status status = entry.symlink_status(error);
        const fs::path target = destination / entry.path().filename();
        if (keepTopLevel &&
            !(*keepTopLevel)(fromPath(entry.path().filename()), fs::is_directory(status)))
            continue;
        if (fs::is_symlink(status)) {
            fs::copy_symlink(entry.path(), target, error);
            if (error)
                return failedOn(QStringLiteral("The link could not be kept:"), entry.path(), error);
        } else if (fs::is_directory(status)) {
            if (Status s = mirror(entry.path(), target, nullptr); !s)
                return s;
        } else if (fs::is_regular_file(status)) {
            fs::create_hard_link(entry.path(), target, error);
            if (error) {
                if (Status s = copyFile(entry.path(), target); !s)
                    return s;
            }
        }
        // Sockets, pipes and devices have no place in a web site: left behind.
    }
    return Status::success();
}

} // namespace

Status CopyFolder(const QString& source, const QString& destination) {
    std::error_code error;
    const fs::path from = toPath(source);
    if (fs::is_symlink(fs::symlink_status(from, error)))
        return linkFound(from);
    if (!fs::is_directory(fs::symlink_status(from, error)))
        return Status::failure(
            QStringLiteral("The folder \"%1\" does not exist.").arg(displayPath(source)));
    const fs::path to = toPath(destination);
    if (to.has_parent_path() && !fs::exists(to.parent_path(), error)) {
        fs::create_directories(to.parent_path(), error);
        if (error)
            return failedOn(QStringLiteral("The folder could not be created:"), to.parent_path(),
                            error);
    }
    return mergeInto(from, to);
}

Status refuseLinks(const QString& folder) {
    std::error_code error;
    const fs::path root = toPath(folder);
    if (fs::is_symlink(fs::symlink_status(root, error)))
        return linkFound(root);
    fs::recursive_directory_iterator it(root, fs::directory_options::none, error);
    if (error)
        return failedOn(QStringLiteral("The folder could not be read:"), root, error);
    for (auto end = fs::recursive_directory_iterator(); it != end; it.increment(error)) {
        if (error)
            return failedOn(QStringLiteral("The folder could not be read:"), root, error);
        if (it->is_symlink(error))
            return linkFound(it->path());
    }
    return Status::success();
}

Status mirrorFolder(const QString& source, const QString& destination,
                    const std::function<bool(const QString&, bool)>& keepTopLevel) {
    return mirror(toPath(source), toPath(destination), &keepTopLevel);
}

Status removeTree(const QString& path) {
    std::error_code error;
    fs::remove_all(toPath(path), error);
    if (error)
        return failedOn(QStringLiteral("The folder could not be removed:"), toPath(path), error);
    return Status::success();
}

bool isLink(const QString& path) {
    std::error_code error;
    return fs::is_symlink(fs::symlink_status(toPath(path), error));
}

} // namespace modCopy
