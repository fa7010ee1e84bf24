-- Turns a guide's Markdown, written to be read where it lies (links to the
-- other language's .md file, <a id> anchors that give translated headings the
-- English section names), into the HTML guide's document:
--
--   - the first level-1 heading becomes the page title;
--   - the paragraph of links to the other language before the first section
--     becomes the `languages` variable, shown at the top of the page;
--   - an anchor paragraph right before a heading gives that heading its id, so
--     both languages' pages share their section ids and the table of contents
--     links to them;
--   - links to guide.md and guide.ru.md (with or without a section) point at
--     guide.html and guide.ru.html;
--   - an image alone in its paragraph becomes a figure with its text as the
--     caption.

local guides = {["guide.md"] = "guide.html", ["guide.ru.md"] = "guide.ru.html"}
local pages = {["guide.html"] = true, ["guide.ru.html"] = true}

-- The HTML page a link to a guide's Markdown stands for, or nil.
local function html_target(target)
  local file, section = target:match("^([^#]*)(.*)$")
  local page = guides[file]
  return page and page .. section or nil
end

local function is_language_links(block)
  if block.t ~= "Para" then
    return false
  end
  local links = 0
  for _, inline in ipairs(block.content) do
    -- Links are rewritten before whole blocks are seen: they point at pages.
    if inline.t == "Link" and pages[inline.target:match("^[^#]*")] then
      links = links + 1
    elseif inline.t ~= "Space" and inline.t ~= "SoftBreak" and
      not (inline.t == "Str" and inline.text:match("^[|/·,]$")) then
      return false
    end
  end
  return links > 0
end

-- The id of a paragraph that holds only <a id="ID"></a>, or nil.
local function anchor_id(block)
  if block.t ~= "Para" then
    return nil
  end
  local html = ""
  for _, inline in ipairs(block.content) do
    if inline.t ~= "RawInline" or inline.format ~= "html" then
      return nil
    end
    html = html .. inline.text
  end
  return html:match('^<a id="([^"]+)"></a>$')
end

function Link(link)
  link.target = html_target(link.target) or link.target
  return link
end

function Pandoc(doc)
  local blocks = pandoc.List()
  local seen_section = false
  local i = 1
  while i <= #doc.blocks do
    local block = doc.blocks[i]
    local next_block = doc.blocks[i + 1]
    local id = anchor_id(block)
    if block.t == "Header" and block.level == 1 and not doc.meta.title then
      doc.meta.title = pandoc.MetaInlines(block.content)
    elseif not seen_section and not doc.meta.languages and is_language_links(block) then
      doc.meta.languages = pandoc.MetaInlines(block.content)
    elseif id and next_block and next_block.t == "Header" then
      next_block.identifier = id
    elseif block.t == "Para" and #block.content == 1 and block.content[1].t == "Image" then
      local image = block.content[1]
      if pandoc.Figure then
        -- pandoc 3 has figures of its own.
        local caption = {long = {pandoc.Plain(image.caption)}}
        blocks:insert(pandoc.Figure({pandoc.Plain({image})}, caption))
      else
        -- pandoc 2 draws an image titled "fig:" as a figure with a caption.
        image.title = "fig:" .. image.title
        blocks:insert(block)
      end
    else
      seen_section = seen_section or block.t == "Header"
      blocks:insert(block)
    end
    i = i + 1
  end
  if not doc.meta.title then
    error("the guide has no level-1 heading to take as its title")
  end
  if not doc.meta.languages then
    error("the guide has no link to its other language before its first section")
  end
  return pandoc.Pandoc(blocks, doc.meta)
end
