#include "zemnetworkaccessmanager.h"

ZemNetworkAccessManager::ZemNetworkAccessManager(QObject* parent)
    : QNetworkAccessManager(parent)
{
}
