#pragma once

#include "core/VtCoreExport.h"
#include "core/VtModule.h"

#include <QPair>
#include <QString>
#include <QVariant>
#include <QVector>

#include <map>
#include <string>
#include <vector>

class IMapResourceObject;
class IMapCustomResourceObject;
class IVtPluginModule;

// The registry of map resources that plug-ins provide, and the once-per-process remote
// configuration of weighted tile URLs per map type. Main thread only; nothing is locked.
class VTCORE_EXPORT IMapResourceObjectModule : public IVtModule {
public:
    class VTCORE_EXPORT IMapResourceObjectVisitor {
    public:
        virtual ~IMapResourceObjectVisitor();
        // Once per registered object, in name order.
        virtual void Visit(IMapResourceObjectModule* module, const std::string& name, IMapResourceObject* object) = 0;
    };

    ~IMapResourceObjectModule() override;
    // The object registered under the name; null when none.
    virtual IMapResourceObject* GetMapResourceByName(const std::string& name) = 0;
    // The first object in name order whose map type is `mapType`; null when none.
    virtual IMapResourceObject* GetMapResource(int mapType) = 0;
    // GetMapResource's object when it is a custom resource; else null.
    virtual IMapCustomResourceObject* GetCustomMapResource(int mapType) = 0;
    // Keeps the object (not owned) under its resource name, replacing an earlier one of that name.
    // False for null.
    virtual bool RegisterMapResource(IMapResourceObject* object) = 0;
    // Forgets the entry under the object's name; null does nothing.
    virtual void UnregisterMapResource(IMapResourceObject* object) = 0;
    virtual IVtPluginModule* GetPluginModule() = 0;
    // The map type of every registered object, in name order.
    virtual std::vector<int> GetAllMapType() = 0;
    virtual void Accept(IMapResourceObjectVisitor& visitor) = 0;
    // Reserved places: they carry no behaviour in this library.
    virtual bool Reserved11() = 0;
    virtual void Reserved12() = 0;
    virtual void Reserved13() = 0;
    virtual std::string Reserved14() = 0;
    virtual std::string Reserved15() = 0;
    virtual QVariant Reserved16() = 0;
    virtual QVariant Reserved17() = 0;
    virtual bool Reserved18() = 0;
    virtual bool Reserved19() = 0;
    // The weighted tile URLs (url, weight) of the map type from the remote configuration. The first
    // call that succeeds fills a cache for the process; until then each call fetches again, blocking
    // for at most 3 s in a local event loop. Empty when the map type is not listed or the fetch
    // fails. Weights are returned, not applied.
    virtual QVector<QPair<QString, int>> GetMapTypeUrls(int mapType) = 0;
};

class VTCORE_EXPORT CMapResourceObjectModule : public IMapResourceObjectModule {
public:
    CMapResourceObjectModule();
    // Leaves the plug-in module alone: DestroyMapResourceObjectModule deletes it.
    ~CMapResourceObjectModule() override;
    CMapResourceObjectModule(const CMapResourceObjectModule&) = delete;
    CMapResourceObjectModule& operator=(const CMapResourceObjectModule&) = delete;

    std::string GetName() const override;
    std::string GetUUID() const override;  // ""
    IMapResourceObject* GetMapResourceByName(const std::string& name) override;
    IMapResourceObject* GetMapResource(int mapType) override;
    IMapCustomResourceObject* GetCustomMapResource(int mapType) override;
    bool RegisterMapResource(IMapResourceObject* object) override;
    void UnregisterMapResource(IMapResourceObject* object) override;
    IVtPluginModule* GetPluginModule() override;
    std::vector<int> GetAllMapType() override;
    void Accept(IMapResourceObjectVisitor& visitor) override;
    bool Reserved11() override;
    void Reserved12() override;
    void Reserved13() override;
    std::string Reserved14() override;
    std::string Reserved15() override;
    QVariant Reserved16() override;
    QVariant Reserved17() override;
    bool Reserved18() override;
    bool Reserved19() override;
    QVector<QPair<QString, int>> GetMapTypeUrls(int mapType) override;

    void SetName(const std::string& name) { m_strName = name; }
    void SetPluginModule(IVtPluginModule* module) { m_pPluginModule = module; }

    // The configuration's address: the server origin in "config.ini" of the map settings
    // directory under kMapTypeUrlServerKey, followed by kMapTypeUrlConfigPath. "" when not set.
    static QString MapTypeUrlConfigAddress();
    static const char* const kMapTypeUrlServerKey;   // "kmtr/MapTypeUrlServer"
    static const char* const kMapTypeUrlConfigPath;  // "/updateq7/MapTypeUrlConifg.json"
    static const int kFetchTimeoutMs = 3000;

private:
    using UrlList = QVector<QPair<QString, int>>;

    // Fills the cache from the reply's bytes; false when they are not a JSON document.
    bool FillUrlCache(const QByteArray& bytes);

    std::string m_strName;
    std::map<std::string, IMapResourceObject*> m_mapResources;  // not owned
    std::map<int, UrlList> m_mapUrlCache;
    IVtPluginModule* m_pPluginModule;  // owned through DestroyMapResourceObjectModule
};

// The process-wide registry, named "MapResourceObjectModule" with its own plug-in module; created
// on the first call (not synchronised: the first call belongs to the main thread).
VTCORE_EXPORT IMapResourceObjectModule* GetOrCreateMapResourceObjectModule();
// Unloads the registry's plug-ins, deletes its plug-in module and the registry; the next
// GetOrCreateMapResourceObjectModule builds a new one. Does nothing when there is none.
VTCORE_EXPORT void DestroyMapResourceObjectModule();
