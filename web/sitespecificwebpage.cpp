#include "sitespecificwebpage.h"

SiteSpecificWebPage::SiteSpecificWebPage(QObject* parent)
    : QWebPage(parent)
{
}

SiteSpecificWebPage::~SiteSpecificWebPage() = default;
