-- The guides link to each other by their markdown names, which resolve in docs/; the
-- packed pages are HTML files side by side, so a link to another guide goes to its page.
function Link(link)
    if not link.target:match("^%a[%w+.-]*:") then
        link.target = link.target:gsub("%.md$", ".html"):gsub("%.md#", ".html#")
    end
    return link
end
